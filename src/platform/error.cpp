#include "platform/error.h"

namespace qen {

const char *Error::what() const noexcept {
    if (m_utf8.isEmpty())
        m_utf8 = m_description.toUtf8();
    return m_utf8.constData();
}

} // namespace qen
