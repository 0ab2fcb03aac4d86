// The Clip Player's files: the per-user clip list (528 "|" lines), the page names, the users file
// and the user-name rule. Pure formats and whole-file writes; the windows call these.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <array>

namespace brisko::clip {

inline constexpr int kStoredPages = 11;   // pages 0..10 are loaded and saved; 1..10 are shown
inline constexpr int kButtons = 48;       // buttons 0..47 of a page
inline constexpr int kClipLines = kStoredPages * kButtons;  // 528
inline constexpr int kPageNames = 10;     // tab captions of pages 1..10

// Colour codes: blue * 65536 + green * 256 + red; a negative value names a system colour.
inline constexpr double kWhite = 16777215;
inline constexpr double kBlack = 0;
inline constexpr double kRed = 255;
inline constexpr double kGreen = 65280;
inline constexpr double kBlue = 16711680;
inline constexpr double kButtonFace = -2147483633;  // 0x8000000F

struct ClipSlot {
    QString Directory;   // the clip's folder, ending in "/" once loaded; empty = empty slot
    QString FileName;    // name with its four-character extension
    double BackColour = 0;
    double TextColour = 0;
    double StatusColour = 0;  // the light a resumed clip takes back; never stored

    bool empty() const { return Directory.isEmpty(); }
    // Directory, a "/" when it does not end in one, then FileName.
    QString fullName() const;
};

// Every slot, addressed by page 0..11 and button 0..48 (only 0..10 and 0..47 are filled or
// stored; the spare row and column make an off-by-one harmless).
class ClipTable {
public:
    ClipSlot& slot(int page, int button);
    const ClipSlot& slot(int page, int button) const;
    void clear();

private:
    std::array<std::array<ClipSlot, kButtons + 1>, kStoredPages + 1> slots_{};
    ClipSlot spare_;
};

// What a load found, for telling the operator.
struct ClipListRead {
    bool opened = false;
    int lines = 0;  // lines present (at most 528 are used)
};

// Fills TABLE from the bytes of a clip list. A line shorter than 14 characters is an empty slot
// (white, its text colour kept); a longer one is split at its first five "|". Missing lines
// (a short file) leave their slots empty.
ClipListRead parseClipList(const QByteArray& bytes, ClipTable& table);
// The 528 lines of TABLE, CR LF ended.
QByteArray formatClipList(const ClipTable& table);
// One line of a slot: "p|b| | |0|0" for an empty one, else the six fields.
QString clipLine(int page, int button, const ClipSlot& slot);
// A colour code as the shortest plain decimal text ("16777215", "-2147483633").
QString colourText(double code);

// The lines of a text file with CR LF or LF ends (a final line end does not start a new line).
QStringList textLines(const QByteArray& bytes);
// LINES joined, each ended by CR LF.
QByteArray crlfText(const QStringList& lines);

// The ten page names of a page-names file; a short file leaves the rest empty.
std::array<QString, kPageNames> parsePageNames(const QByteArray& bytes);

// The bytes of the shipped templates: a clip list with every slot empty, ten empty page names.
QByteArray blankClipList();
QByteArray blankPageNames();

// Whether NAME can be the base name of a user's files: not empty, not "." or "..", no "/", "\"
// or control character, and short enough for a file name. Otherwise *WHY (when given) says
// what is wrong, for the operator.
bool isSafeUserName(const QString& name, QString* why = nullptr);

// Writes BYTES to PATH whole or not at all (the console's temporary-file-and-rename write). On
// failure returns false with a text for the operator.
bool writeWhole(const QString& path, const QByteArray& bytes, QString* error = nullptr);
// Reads PATH whole; false when it cannot be opened.
bool readWhole(const QString& path, QByteArray* bytes);

}  // namespace brisko::clip
