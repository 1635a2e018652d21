// The program's UTF-16 texts as Qt strings.
#pragma once

#include <QString>
#include <string_view>

#include "platform/text.h"

namespace zd::ui {

inline QString ToQString(std::u16string_view text)
{
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

inline QString ToQString(const FixedText& field) { return ToQString(FixedTextView(field)); }

} // namespace zd::ui
