#pragma once

#include <QString>

// The reasons the system and the libraries give for a failure, in the program's language.
// Their own texts are English (glibc, libzip, libtiff, libpng, Qt's file errors) and would
// leave a message half in another language; every cause a reader can act on has a Chinese
// wording here, and a cause we cannot name shows its number instead of foreign words.
namespace qen {

// An errno value: the cause in Chinese, or "系统错误 N" for one we cannot name.
QString SystemErrorText(int err);

// A library's message text (libtiff, libpng, QFileDevice::errorString()): the cause it names
// in Chinese. A text that is already Chinese stays; one naming no cause we know gives
// "原因不明" rather than the English words.
QString LibraryErrorText(const QString &message);

// Why a shared library did not load (QLibrary::errorString(), dlerror's text): the missing
// library it depends on is named, since installing that is the remedy.
QString LibraryLoadErrorText(const QString &message);

// A libzip error: its code, and the errno behind it when libzip reports one.
QString ZipErrorText(int zipCode, int systemError);

} // namespace qen
