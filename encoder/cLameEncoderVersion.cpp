// cLameEncoderVersion: reads the 265-byte version record once and offers its fields.
#include "encoder/cLameEncoderVersion.h"

#include <cstring>

#include "encoder/LameLibrary.h"
#include "platform/common/NumberedError.h"

cLameEncoderVersion::cLameEncoderVersion() {
    const auto& api = brisko::encoder::lameApi(brisko::errorSource("cLameEncoderVersion"));
    api.version(&record_);
}

cLameEncoderVersion::cLameEncoderVersion(const brisko::lameenc::Version& record) : record_(record) {}

std::chrono::year_month_day cLameEncoderVersion::ReleaseDate() const {
    const std::chrono::year_month_day date{std::chrono::year(record_.year), std::chrono::month(record_.month),
                                           std::chrono::day(record_.day)};
    return date.ok() ? date : std::chrono::year_month_day{};
}

std::string cLameEncoderVersion::HomePage() const {
    return std::string(record_.homePage, strnlen(record_.homePage, sizeof record_.homePage));
}
