#pragma once

// What the program's exit status tells a script. The numbers are part of the program's interface
// (the manual page lists them) and never change meaning.
enum class ExitCode {
    Success = 0,          // updated, listed, or releases shown
    UpdateFailed = 1,     // the transfer or its checks failed, or the converter is not supported
    UsageError = 2,       // the command line is wrong, or names a release that does not exist
    NoConverter = 3,      // no converter in loader mode answers (or not the one asked for)
    PermissionDenied = 4, // a converter is there but may not be opened
    DownloadFailed = 5,   // the version list or the image could not be downloaded
    ImageRefused = 6,     // the file given was refused before anything was written
};
