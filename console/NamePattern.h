// The library file list's pattern list ("*.wav;*.mp3"): wildcard entries separated by ";",
// matched without regard to case. Built once per list, so matching a name does not cost more
// for a longer list of plain "*.ext" or exact-name entries.
#pragma once

#include <QSet>
#include <QString>
#include <QStringList>
#include <vector>

namespace brisko::console {

class NamePattern {
public:
    // Entries are trimmed of blanks; empty ones are dropped. "*" matches any run of characters,
    // "?" one character, "[abc]", "[a-z]" and "[!abc]" one character of (or not of) a set. An
    // entry that is not a valid wildcard (an unclosed "[") matches nothing and is listed in
    // invalidEntries().
    explicit NamePattern(const QString& list = QStringLiteral("*"));

    bool matches(const QString& name) const;
    const QStringList& invalidEntries() const { return invalid_; }

    // ENTRY is a valid wildcard.
    static bool isValidEntry(const QString& entry);
    // NAME matches the single valid wildcard ENTRY (both already case-folded).
    static bool matchesEntry(const QString& entry, const QString& name);

private:
    bool any_ = false;          // a "*" entry: every name
    QSet<QString> exact_;       // entries without wildcards
    QSet<QString> suffixes_;    // "*" + text without wildcards: names ending in the text
    std::vector<int> suffixLengths_;  // the distinct lengths in suffixes_
    QStringList general_;       // every other valid entry, without repeats
    QStringList invalid_;
};

}  // namespace brisko::console
