#include "cli/TerminalWording.h"

CommandReport::Failure TerminalWording::lines(const FailureWords::Words& words) {
    using Step = FailureWords::NextStep;
    switch (words.next) {
    case Step::PlugInAgain:
        return {words.what, "Plug the converter in again in loader mode and run the update again."};
    case Step::Reconnect:
        return {words.what, "Unplug the converter, plug it in again in loader mode and run the "
                            "update again."};
    case Step::ChooseAnotherVersion:
        return {words.what, "Choose another version; the releases command lists them."};
    case Step::ChooseAnotherMode:
        return {words.what, "Choose the other mode with --mode."};
    case Step::RetryDownload:
        return {words.what, "Check the connection to the server and run the command again."};
    case Step::CheckFile:
        break;
    }
    return {words.what, "Check the file and run the update again."};
}
