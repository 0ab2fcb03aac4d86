// Wildcard pattern lists for the file lists.
#include "console/NamePattern.h"

#include <algorithm>

namespace brisko::console {
namespace {

bool isWild(QChar c) {
    return c == QLatin1Char('*') || c == QLatin1Char('?') || c == QLatin1Char('[');
}

bool hasWild(QStringView text) { return std::any_of(text.begin(), text.end(), isWild); }

// The end of the set that opens at POS (a "["): the index of its "]", or -1 when it never closes.
// A "]" right after "[" or "[!" belongs to the set.
qsizetype setEnd(const QString& entry, qsizetype pos) {
    qsizetype k = pos + 1;
    if (k < entry.size() && (entry[k] == QLatin1Char('!') || entry[k] == QLatin1Char('^'))) ++k;
    if (k < entry.size() && entry[k] == QLatin1Char(']')) ++k;
    while (k < entry.size() && entry[k] != QLatin1Char(']')) ++k;
    return k < entry.size() ? k : -1;
}

// C is in the set entry[open + 1 .. close - 1].
bool inSet(const QString& entry, qsizetype open, qsizetype close, QChar c) {
    qsizetype k = open + 1;
    bool negate = false;
    if (entry[k] == QLatin1Char('!') || entry[k] == QLatin1Char('^')) negate = true, ++k;
    bool found = false;
    for (bool first = true; k < close; first = false) {
        const QChar low = entry[k];
        if (!first && low == QLatin1Char(']')) break;
        if (k + 2 < close && entry[k + 1] == QLatin1Char('-')) {
            if (c >= low && c <= entry[k + 2]) found = true;
            k += 3;
        } else {
            if (c == low) found = true;
            ++k;
        }
    }
    return found != negate;
}

}  // namespace

bool NamePattern::isValidEntry(const QString& entry) {
    for (qsizetype k = 0; k < entry.size(); ++k) {
        if (entry[k] != QLatin1Char('[')) continue;
        const qsizetype close = setEnd(entry, k);
        if (close < 0) return false;
        k = close;
    }
    return true;
}

bool NamePattern::matchesEntry(const QString& entry, const QString& name) {
    // Greedy match that remembers the last "*" and retries from one character further on: at
    // most entry length times name length steps.
    qsizetype p = 0, n = 0, starP = -1, starN = 0;
    while (n < name.size()) {
        if (p < entry.size()) {
            const QChar c = entry[p];
            if (c == QLatin1Char('*')) {
                starP = p++;
                starN = n;
                continue;
            }
            if (c == QLatin1Char('?')) {
                ++p, ++n;
                continue;
            }
            if (c == QLatin1Char('[')) {
                const qsizetype close = setEnd(entry, p);
                if (close >= 0 && inSet(entry, p, close, name[n])) {
                    p = close + 1, ++n;
                    continue;
                }
            } else if (c == name[n]) {
                ++p, ++n;
                continue;
            }
        }
        if (starP < 0) return false;
        p = starP + 1;
        n = ++starN;
    }
    while (p < entry.size() && entry[p] == QLatin1Char('*')) ++p;
    return p == entry.size();
}

NamePattern::NamePattern(const QString& list) {
    QSet<QString> seen;
    for (QStringView part : QStringView(list).split(QLatin1Char(';'))) {
        const QString entry = part.trimmed().toString().toCaseFolded();
        if (entry.isEmpty() || seen.contains(entry)) continue;
        seen.insert(entry);
        if (!isValidEntry(entry)) {
            invalid_ << part.trimmed().toString();
        } else if (entry == QLatin1String("*")) {
            any_ = true;
        } else if (!hasWild(entry)) {
            exact_.insert(entry);
        } else if (entry.startsWith(QLatin1Char('*')) && !hasWild(QStringView(entry).mid(1))) {
            const QString suffix = entry.mid(1);
            suffixes_.insert(suffix);
            const int length = static_cast<int>(suffix.size());
            if (std::find(suffixLengths_.begin(), suffixLengths_.end(), length) ==
                suffixLengths_.end())
                suffixLengths_.push_back(length);
        } else {
            general_ << entry;
        }
    }
    std::sort(suffixLengths_.begin(), suffixLengths_.end());
}

bool NamePattern::matches(const QString& name) const {
    if (any_) return true;
    const QString folded = name.toCaseFolded();
    if (exact_.contains(folded)) return true;
    for (const int length : suffixLengths_) {
        if (length > folded.size()) break;
        if (suffixes_.contains(folded.right(length))) return true;
    }
    return std::any_of(general_.begin(), general_.end(),
                       [&](const QString& entry) { return matchesEntry(entry, folded); });
}

}  // namespace brisko::console
