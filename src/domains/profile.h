#pragma once

#include <QByteArray>
#include <QString>

namespace zorvan {

// Windows-style initialisation files, kept byte for byte: section and key names match without
// regard to ASCII case, the first matching key line wins, a write replaces that line's value in
// place (or adds the section and key), and every other line, comment and line break is untouched.
// Names and values are raw bytes; callers choose the code page.

// The value of the first matching key line: the bytes after its "=", without the line break, the
// blanks, tabs and stray CRs around it, or one pair of matching quotes around it.
// `found` tells a missing section or key apart from an empty value.
QByteArray profileValue(const QByteArray& file, const QByteArray& section, const QByteArray& key,
                        bool* found = nullptr);

// The file with the value written. New lines end in CR LF; a missing section is appended with its
// key, a missing key is added after the section's last non-blank line.
QByteArray withProfileValue(const QByteArray& file, const QByteArray& section,
                            const QByteArray& key, const QByteArray& value);

enum class ProfileStatus {
    Ok,          // read or written
    Missing,     // no file: reads as empty
    Unreadable,  // the file exists but cannot be read; it is never rewritten
    WriteFailed  // the replacement could not be written whole; the old file is kept
};

struct ProfileRead {
    QByteArray value;
    ProfileStatus status = ProfileStatus::Missing;
};

// Reads the whole value from a file on disk (no length cut).
ProfileRead readProfileValue(const QString& path, const QByteArray& section, const QByteArray& key);

// Replaces the file atomically with the value written; creates it when missing.
ProfileStatus writeProfileValue(const QString& path, const QByteArray& section,
                                const QByteArray& key, const QByteArray& value);

}  // namespace zorvan
