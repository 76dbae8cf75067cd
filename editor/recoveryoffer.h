#pragma once

#include "document/packformat.h"

#include <QString>

#include <functional>

namespace Wordloom {

class Journal;
class LanguagePack;
class Prompts;

// Offers back what sessions that ended without saving left in the journal
// folder, and replays the journal the user takes back as steps.
struct RecoveryOffer {
    Prompts &prompts;
    LanguagePack &pack;
    Journal &journal;
    // Opens the journal's pack in the window; false when that failed.
    std::function<bool(const QString &path)> load;
    // A new pack from the info a never-saved pack began with.
    std::function<void(const InfoValues &info)> create;
    // Whether the open pack may be replaced (unsaved work is asked about).
    std::function<bool()> mayReplace;
    // Shows the pack after the replay, and a message in the status line.
    std::function<void(const QString &message)> done;

    // Every journal whose process is gone (at start-up), or only those of
    // the pack just loaded from packPath. One journal at most is replayed.
    void run(const QString &packPath = QString());
};

} // namespace Wordloom
