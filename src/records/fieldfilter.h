#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace qen {

class ProfileSection;

// The section of Output.ini that holds one key per record field: "1" shows the field,
// "0" leaves it out, a missing key shows it.
QString outputOptionsSection();

// The text between the first 【 and the first 】 of a line, spaces included; empty when the
// line has no such pair. A 】 standing before the first 【 is a malformed marker: qen::Error.
QString GetFieldName(const QString &line);

// How a stored option reads as a truth value: any number (non-zero is true) or the words
// True/False in any case. Anything else, the empty text included, is nothing.
std::optional<bool> optionTruth(const QString &value);

// <temp folder>/<record's file name without its last extension>.tmp
QString temporaryRecordPath(const QString &recordPath, const QString &tempFolder);

// The record's bytes with switched-off fields left out: a marked line whose option is false
// goes, and with it every following unmarked line up to the next empty line or marked line.
// Lines end in CR LF. A GBK record stays GBK byte for byte (even where its bytes are not
// valid GBK); a UTF-8 or UTF-16 record comes out as UTF-8 with a byte-order mark. Throws
// qen::Error for a malformed marker or an option that is no truth value.
QByteArray filterRecordBytes(const QByteArray &record, const ProfileSection &options);

struct FilterOutcome {
    enum Status {
        Filtered,      // output names the temporary file
        Unfiltered,    // a WP record, no record, or no settings file: show the record itself
        SettingsError, // show the settings message and the record itself
    };
    Status status = Unfiltered;
    QString output;
    QString problem; // what failed, for a log or the command line
};

// Filters the record at recordPath with the options in settingsFile into its temporary file
// in tempFolder; an earlier temporary file of that name is removed first. The settings file
// is read once.
FilterOutcome filterRecordFile(const QString &recordPath, const QString &settingsFile,
                               const QString &tempFolder);

// The information text shown when filtering fails, naming the settings file.
QString settingsErrorMessage(const QString &settingsFile);

} // namespace qen
