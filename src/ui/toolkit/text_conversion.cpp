#include "toolkit/text_conversion.h"

#include <QDir>
#include <QFile>
#include <QValidator>

#include "text/display_text.h"

namespace patchlens {

QString ToQString(std::string_view bytes) {
    const std::string utf8 = ToDisplayUtf8(bytes);
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

namespace {

class Windows1252Validator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString &input, int &) const override {
        return Utf8ToWindows1252(input.toStdString()) ? Acceptable : Invalid;
    }
};

} // namespace

std::string TypedBytes(const QString &typed) {
    const std::string utf8 = typed.toStdString();
    return Utf8ToWindows1252(utf8).value_or(utf8);
}

std::string TypedBytes(const QString &typed, std::string_view shown) {
    return typed == ToQString(shown) ? std::string(shown) : TypedBytes(typed);
}

std::string TypedPathBytes(const QString &typed, std::string_view shown) {
    return typed == ToQString(shown) ? std::string(shown) : PathBytes(PathFromQString(typed));
}

QValidator *MakeWindows1252Validator(QObject *parent) {
    return new Windows1252Validator(parent);
}

QString MessageText(std::string_view bytes) {
    QString text = ToQString(bytes);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text;
}

QString PathToQString(const std::filesystem::path &path) {
#ifdef _WIN32
    return QString::fromStdWString(path.native());
#else
    return ToQString(path.native());
#endif
}

QString PathForDialog(const std::filesystem::path &path) {
#ifdef _WIN32
    return QString::fromStdWString(path.native());
#else
    return QFile::decodeName(QByteArray::fromStdString(path.native()));
#endif
}

std::filesystem::path PathFromQString(const QString &text) {
#ifdef _WIN32
    // Qt writes paths with '/'; Windows shows them with '\\'.
    return std::filesystem::path(QDir::toNativeSeparators(text).toStdWString());
#else
    return std::filesystem::path(QFile::encodeName(text).toStdString());
#endif
}

} // namespace patchlens
