#include "app/WindowFailureWording.h"

QString WindowFailureWording::line(const FailureWords::Words& words) {
    using Step = FailureWords::NextStep;
    QString next;
    switch (words.next) {
    case Step::PlugInAgain:
        next = QStringLiteral("Plug the converter in again in loader mode, press Confirm and start "
                              "again.");
        break;
    case Step::Reconnect:
        next = QStringLiteral("Unplug the converter, plug it in again in loader mode, press "
                              "Confirm and start again.");
        break;
    case Step::ChooseAnotherVersion:
    case Step::CheckFile:
        next = QStringLiteral("Press Confirm and choose another version.");
        break;
    case Step::ChooseAnotherMode:
        next = QStringLiteral("Press Confirm and choose the other mode.");
        break;
    case Step::RetryDownload:
        next = QStringLiteral("Check the connection to the server, press Confirm and try again.");
        break;
    }
    return words.what + u' ' + next;
}
