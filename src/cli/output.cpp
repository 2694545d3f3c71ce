// The one writer of linkvane-cli's output.

#include "output.h"

#include "latin1.h"

#include <QFileDevice>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace lv {

QString printableText(std::string_view bytes)
{
    static const char hex[] = "0123456789abcdef";
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size()));
    for (const char ch : bytes) {
        const auto byte = static_cast<unsigned char>(ch);
        if (byte == '\\') {
            text += QLatin1String("\\\\");
        } else if (byte < 0x20 || (byte >= 0x7F && byte <= 0x9F)) {
            text += QLatin1String("\\x");
            text += QLatin1Char(hex[byte >> 4]);
            text += QLatin1Char(hex[byte & 0xF]);
        } else {
            text += QLatin1Char(ch);
        }
    }
    return text;
}

QString shownText(std::string_view bytes, qsizetype limit)
{
    // Only the part that can be shown is escaped.
    const std::string_view head = bytes.substr(0, static_cast<std::size_t>(limit));
    QString text = printableText(head);
    if (text.size() > limit || bytes.size() > head.size())
        text = text.left(limit - 3) + QStringLiteral("...");
    return text;
}

QJsonValue jsonText(std::string_view bytes)
{
    return fromLatin1(bytes);
}

void Output::text(const QString& text)
{
    m_out << text;
    m_out.flush();
}

void Output::document(const QJsonValue& value)
{
    QJsonDocument doc;
    if (value.isArray())
        doc.setArray(value.toArray());
    else
        doc.setObject(value.toObject());
    const QByteArray json = doc.toJson(QJsonDocument::Indented);
    m_out.flush();
    // Written as the UTF-8 bytes it already is when the stream has a device (standard output), rather
    // than through a second conversion of a listing that may hold thousands of devices.
    if (QIODevice* device = m_out.device()) {
        device->write(json);
        if (auto* file = qobject_cast<QFileDevice*>(device))
            file->flush();
        return;
    }
    m_out << QString::fromUtf8(json);
    m_out.flush();
}

void Output::error(const QString& message)
{
    m_err << "linkvane-cli: " << message << "\n";
    m_err.flush();
}

void Output::note(const QString& text)
{
    m_err << text;
    m_err.flush();
}

} // namespace lv
