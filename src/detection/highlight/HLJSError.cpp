#include "detection/highlight/HLJSError.h"

QString HLJSError::message() const
{
    QString name;
    switch (m_code) {
    case Code::contextIsNil:
        name = QStringLiteral("contextIsNil");
        break;
    case Code::fileNotFound:
        name = QStringLiteral("fileNotFound");
        break;
    case Code::fileUnreadable:
        name = QStringLiteral("fileUnreadable");
        break;
    case Code::hljsNotFound:
        name = QStringLiteral("hljsNotFound");
        break;
    case Code::valueNotFound:
        name = QStringLiteral("valueNotFound");
        break;
    }
    const QString message = QStringLiteral("HLJSError.") + name;
    return m_detail.isEmpty() ? message : message + QStringLiteral(": ") + m_detail;
}
