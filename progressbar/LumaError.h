// The numbered error the control raises (for example 380, an invalid property value): number,
// source and description, like every numbered error of the program's classes.
#pragma once

#include <QString>
#include <stdexcept>

#include "LumabarExport.h"

namespace lumabar {

class LUMABAR_EXPORT LumaError : public std::runtime_error {
public:
    LumaError(int number, QString source, QString description);

    int number() const noexcept { return number_; }
    const QString& source() const noexcept { return source_; }
    const QString& description() const noexcept { return description_; }

    // The platform's "Invalid property value", raised by a setter that refuses its value.
    static constexpr int InvalidPropertyValue = 380;
    static LumaError invalidPropertyValue(const QString& property);

private:
    int number_;
    QString source_;
    QString description_;
};

}  // namespace lumabar
