#pragma once
// The settings file with the semantics of the Windows private-profile
// functions: section and key names compare case-insensitively, text values
// are read through a 64-character buffer (so at most 63 characters are used),
// NULs become blanks and the value is trimmed. Writing a key keeps every other
// line of the file as it was and replaces the file atomically.
// A file is read as UTF-8 when it is valid UTF-8 and as Windows-1252 (the
// earlier program's files) otherwise, and written back in the encoding it had;
// new files are UTF-8, and a Windows-1252 file that must take a character it
// cannot hold is rewritten whole as UTF-8.

#include <QString>

namespace qqc {

class IniFile {
public:
    explicit IniFile(QString path);

    const QString& path() const { return path_; }

    // Like GetPrivateProfileString: at most 63 characters, then cleaned.
    QString readText(const QString& section, const QString& key, const QString& defaultValue) const;
    // The whole value, cleaned but not cut: for paths, which a cut would break.
    QString readPath(const QString& section, const QString& key, const QString& defaultValue) const;
    // Like GetPrivateProfileInt: leading optional sign and digits; the default
    // when the key is missing or holds no digits.
    int readInt(const QString& section, const QString& key, int defaultValue) const;
    // A flag is on only when its cleaned text is exactly "1".
    bool readFlag(const QString& section, const QString& key) const;

    // Like WritePrivateProfileString. Returns false when the file could not be
    // written (the previous file is then left untouched).
    bool writeText(const QString& section, const QString& key, const QString& value);

private:
    QString path_;
};

} // namespace qqc
