// The readout keys of the main window and the outro warning: sentences about the decks' times,
// written into the main window's readout line (ui/StatusLine) for the eye and for a screen
// reader. The keys lie outside the console's key tables: Ctrl+Alt with R, E, H and N.
#pragma once

#include <QString>
#include <cstdint>

#include "platform/common/Clock.h"

namespace brisko::console {

// "1 hour 2 minutes 5 seconds", "1 minute 12 seconds", "40 seconds", "0 seconds"; a negative
// count reads as 0.
QString spokenDuration(int64_t seconds);

// DECK is the deck number as shown (1..12).
QString remainingSentence(int deck, int64_t seconds);  // "Deck 3, 1 minute 12 seconds left"
QString elapsedSentence(int deck, int64_t seconds);    // "Deck 3, 12 seconds played"
QString notPlayingSentence(int deck);                  // "Deck 3 is not playing"
QString topOfHourSentence(const TimeOfDay& time);      // "14 minutes 30 seconds to the top of the hour"
// The deck the Space bar starts next: "Next: deck 4, TITLE, 3 minutes 20 seconds", "Next: deck 4
// is empty", or, for an index that names no deck, "No next deck: the index is past deck 12".
QString nextDeckSentence(int index, const QString& title, int64_t lengthSeconds);
QString outroSentence(int deck, int64_t seconds);  // "Deck 3 ends in 10 seconds"

// The outro warning's longest lead: its setting lives with the on-air settings (the On-Air
// Safety window, brisko-safety.ini), 0 = off.
constexpr int kMaxOutroSeconds = 600;

}  // namespace brisko::console
