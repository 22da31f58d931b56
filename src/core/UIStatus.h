#pragma once

// What the window shows; the numbers are part of the contract.
enum class UIStatus {
    NORMAL = 0,            // searching for a converter
    DEVICE_PLUG = 1,       // converter identified, ready to update
    UPGRADE_FW = 2,        // transfer running
    UPGRADE_FW_FINISH = 3, // update succeeded
    UPGRADE_FW_FAILED = 4, // update failed
    FTP_DOWNLOAD = 5,      // downloading the image
    DOWNLOAD_FAILED = 6,   // download failed
};

// The statuses that end an update; only they show the line under the prompt that says why it
// failed, or what is now on the converter.
constexpr bool isResultStatus(UIStatus status) {
    return status == UIStatus::UPGRADE_FW_FINISH || status == UIStatus::UPGRADE_FW_FAILED ||
           status == UIStatus::DOWNLOAD_FAILED;
}
