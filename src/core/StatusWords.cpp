#include "core/StatusWords.h"

StatusWords StatusWords::of(UIStatus status) {
    switch (status) {
    case UIStatus::NORMAL:
    case UIStatus::DEVICE_PLUG:
        return {QStringLiteral("Converter"), {}};
    case UIStatus::UPGRADE_FW:
        return {QStringLiteral("Updating firmware"), QStringLiteral("Don't remove the device")};
    case UIStatus::UPGRADE_FW_FINISH:
        return {QStringLiteral("Update complete"),
                QStringLiteral("The firmware has been updated successfully.")};
    case UIStatus::UPGRADE_FW_FAILED:
        return {QStringLiteral("Update failed"), QStringLiteral("The firmware update failed.")};
    case UIStatus::FTP_DOWNLOAD:
        return {QStringLiteral("Downloading firmware"),
                QStringLiteral("Wait a moment, firmware downloading...")};
    case UIStatus::DOWNLOAD_FAILED:
        return {QStringLiteral("Download failed"), QStringLiteral("Download file failed.")};
    }
    return {};
}
