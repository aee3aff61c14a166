#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace moviecat::query {

// The words of a search text that ask about films rather than names. Words are the runs
// of the text between blanks (space, tab and the ideographic space a Chinese input
// method types); a word counts only in one of these exact forms, in either spelling:
//   年份:1994  year:1994  年份:1990-1999  year:1990-1999   a year, or a range of them
//   新:30  new:30                                         first seen in the last 30 days
//   重复  dup                                              films held more than once
// A word that starts like one of the first two ("year:19x5", "new:-3", "Year:1994",
// "年份：1994" with the full-width colon) is malformed: it is reported and searched for as
// text. Any other word is text, a colon in it or not ("Mission:Impossible").

struct YearRange {
    int first = 0;
    int last = 0;

    friend bool operator==(const YearRange &, const YearRange &) = default;
};

// What is wrong with a malformed word.
enum class WordProblem {
    BadYear,       // not four digits, or outside firstFilmYear..latestYear
    ReversedYears, // a range whose first year is after its last
    BadDays,       // not a whole number of days from 1 to 99999
    WideColon,     // the full-width colon "：" where ":" belongs
    KeyCase,       // "Year:", "NEW:": the English words are written in lower case
    Repeated,      // a second year or new word; only the first one counts
};

struct MalformedWord {
    std::string word;
    WordProblem problem = WordProblem::BadYear;
    std::string key; // the key as it is spelled right: "year" for "Year:1994", "年份"

    friend bool operator==(const MalformedWord &, const MalformedWord &) = default;
};

// What the state line says of a malformed word, in the window's source language: %1
// stands for the word, %2 for its key. The window passes it through
// QCoreApplication::translate("moviecat::query", ...) and fills it with QString::arg.
const char *problemTemplate(WordProblem problem);
// The template filled in, for a reader without Qt.
std::string plainMessage(const MalformedWord &malformed);

struct QueryWords {
    // The rest of the text, byte for byte, for the name pattern as the search box's text
    // is today: the words between the query words with the blanks that stood before
    // them; the text's own leading and trailing blanks where the word beside them stays.
    std::string pattern;
    std::optional<YearRange> years;
    std::optional<int> newDays;
    bool duplicates = false;
    std::vector<MalformedWord> malformed;

    // Whether any word narrows the answer beyond the name pattern.
    bool filters() const { return years || newDays || duplicates; }

    friend bool operator==(const QueryWords &, const QueryWords &) = default;
};

// latestYear: latestFilmYear(), passed in so that a query reads one clock.
QueryWords parseQueryWords(std::string_view text, int latestYear);

} // namespace moviecat::query
