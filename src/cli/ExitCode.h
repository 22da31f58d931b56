#pragma once

// What the program's exit status tells a script. The numbers are part of the program's interface
// (the manual page lists them) and never change meaning.
enum class ExitCode {
    Success = 0,          // updated, listed, or releases shown
    UpdateFailed = 1,     // the transfer or its checks failed, or the image could not be read
    UsageError = 2,       // the command line is wrong
    NoConverter = 3,      // no converter in loader mode answers (or not the one asked for)
    PermissionDenied = 4, // a converter is there but may not be opened
    DownloadFailed = 5,   // the version list or the image could not be downloaded
};
