#pragma once

#include <string>

#include "core/calendar/CalendarTypes.h"

// Headings of days in lists, in the user's locale and zone as of the call, relative to now by
// Clock::current(). Safe to call from any thread. UTF-8 text.
//
// A day of another year gets the locale's date with its year ("March 15, 2023", "15. März 2023").
// A day of this year gets the date without its year ("Friday, March 15", "Freitag, 15. März"),
// or the locale's word for it ("Today", "Yesterday", "Vorgestern") when it is less than five days
// from today under the cut-off and the locale has a word for that distance. Before the cut-off
// hour (02:30 with cut-off 4) no words are used. Headings start with a capital letter where the
// locale writes one at the beginning of a sentence.
namespace ravelong::date_additions {

// Full width: "Friday, March 15"; the long date for another year.
std::string getSpecialDateStringOfZRDate_withHourCutoff(ZRDate date, int hourCutoff);
// Abbreviated: "Fri, Mar 15"; the medium date for another year.
std::string getSpecialMediumDateStringOfZRDate_withHourCutoff(ZRDate date, int hourCutoff);
// Numeric: "Fri, 3/15"; the short date for another year.
std::string getSpecialShortDateStringOfZRDate_withHourCutoff(ZRDate date, int hourCutoff);

}  // namespace ravelong::date_additions
