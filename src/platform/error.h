#pragma once

#include <QString>
#include <exception>

namespace qen {

// A failure that a person can act on: the text names the file and what went wrong. Callers
// that show errors put description() into an "error" box unchanged.
class Error : public std::exception {
public:
    explicit Error(QString description) : m_description(std::move(description)) {}
    const QString &description() const noexcept { return m_description; }
    const char *what() const noexcept override;

private:
    QString m_description;
    mutable QByteArray m_utf8;
};

} // namespace qen
