#pragma once

#include <QLocale>
#include <QString>

// Pictures and documents that carry words come in one file per language:
// "open_button.png" in English beside "open_button_zh_CN.png". This picks
// the one for a locale, as the translator picks its file: the full locale
// name first ("_zh_CN"), then the language alone ("_zh"), else the file as
// named.
namespace localizedfile {

QString pick(const QString &file, const QLocale &locale = QLocale());

} // namespace localizedfile
