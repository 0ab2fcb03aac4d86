// The control's numbered error.
#include "LumaError.h"

namespace lumabar {

LumaError::LumaError(int number, QString source, QString description)
    : std::runtime_error(description.toStdString()),
      number_(number),
      source_(std::move(source)),
      description_(std::move(description)) {}

LumaError LumaError::invalidPropertyValue(const QString& property) {
    return LumaError(InvalidPropertyValue, QStringLiteral("Lumabar.LumaProgressBar.") + property,
                     QStringLiteral("Invalid property value"));
}

}  // namespace lumabar
