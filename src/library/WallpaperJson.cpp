// SPDX-License-Identifier: GPL-3.0-or-later
#include "library/Wallpaper.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <charconv>
#include <cmath>
#include <limits>

namespace {

namespace Key {
constexpr QLatin1StringView id{"id"};
constexpr QLatin1StringView title{"title"};
constexpr QLatin1StringView category{"category"};
constexpr QLatin1StringView poster{"poster"};
constexpr QLatin1StringView preview{"preview"};
constexpr QLatin1StringView video{"video"};
constexpr QLatin1StringView bytes{"bytes"};
constexpr QLatin1StringView seconds{"seconds"};
constexpr QLatin1StringView resolution{"resolution"};
constexpr QLatin1StringView isImported{"isImported"};
constexpr QLatin1StringView wallpapers{"wallpapers"};
} // namespace Key

// Generous bounds on each text: a record beyond them is as bad as one with a wrong type. A name or a
// title of thousands of characters is already no name; URLs may carry long signed queries.
constexpr qsizetype maxNameLength = 4096;
constexpr qsizetype maxUrlLength = 64 * 1024;

// Reading. Each reader returns false on a type error or an overlong text; a missing key or null
// leaves the field absent.

bool readRequired(const QJsonObject& object, QLatin1StringView key, QString& out) {
    const QJsonValue value = object.value(key);
    if (!value.isString())
        return false;
    out = value.toString();
    return out.size() <= maxNameLength;
}

bool readText(const QJsonObject& object, QLatin1StringView key, std::optional<QString>& out,
              qsizetype maxLength) {
    const QJsonValue value = object.value(key);
    if (value.isUndefined() || value.isNull())
        return true;
    if (!value.isString())
        return false;
    out = value.toString();
    return out->size() <= maxLength;
}

bool readInteger(const QJsonObject& object, QLatin1StringView key, std::optional<qint64>& out) {
    const QJsonValue value = object.value(key);
    if (value.isUndefined() || value.isNull())
        return true;
    if (!value.isDouble())
        return false;
    // toInteger answers its default for fractions and for numbers outside 64 bits; two different
    // defaults tell such a number from a stored 0 or 1.
    const qint64 first = value.toInteger(0);
    if (first == 0 && value.toInteger(1) != 0)
        return false;
    out = first;
    return true;
}

bool readNumber(const QJsonObject& object, QLatin1StringView key, std::optional<double>& out) {
    const QJsonValue value = object.value(key);
    if (value.isUndefined() || value.isNull())
        return true;
    if (!value.isDouble())
        return false;
    out = value.toDouble();
    return true;
}

bool readBool(const QJsonObject& object, QLatin1StringView key, std::optional<bool>& out) {
    const QJsonValue value = object.value(key);
    if (value.isUndefined() || value.isNull())
        return true;
    if (!value.isBool())
        return false;
    out = value.toBool();
    return true;
}

std::optional<Wallpaper> fromObject(const QJsonValue& element) {
    if (!element.isObject())
        return std::nullopt;
    const QJsonObject object = element.toObject();
    Wallpaper w;
    const bool ok = readRequired(object, Key::id, w.id) && readRequired(object, Key::title, w.title) &&
                    readRequired(object, Key::category, w.category) &&
                    readText(object, Key::poster, w.poster, maxUrlLength) &&
                    readText(object, Key::preview, w.preview, maxUrlLength) &&
                    readText(object, Key::video, w.video, maxUrlLength) &&
                    readInteger(object, Key::bytes, w.bytes) && readNumber(object, Key::seconds, w.seconds) &&
                    readText(object, Key::resolution, w.resolution, maxNameLength) &&
                    readBool(object, Key::isImported, w.isImported);
    if (!ok)
        return std::nullopt;
    return w;
}

std::optional<QList<Wallpaper>> fromArray(const QJsonValue& value) {
    if (!value.isArray())
        return std::nullopt;
    const QJsonArray array = value.toArray();
    QList<Wallpaper> list;
    list.reserve(array.size());
    for (const auto& element : array) {
        std::optional<Wallpaper> w = fromObject(element);
        if (!w)
            return std::nullopt;
        list.append(std::move(*w));
    }
    return list;
}

std::optional<QJsonDocument> parse(const QByteArray& bytes) {
    QJsonParseError error{};
    QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError)
        return std::nullopt;
    return document;
}

// Writing. A small writer of our own keeps the keys in the record's order, which a QJsonObject
// (sorted keys) would not, and makes the non-finite rule explicit.

class Writer {
public:
    void string(const QString& text) {
        m_out.append('"');
        if (text.isValidUtf16()) {
            appendUtf8(text);
        } else {
            // A lone surrogate has no UTF-8 form; escaped, it reads back as the same text.
            qsizetype run = 0;
            for (qsizetype i = 0; i < text.size(); ++i) {
                const char16_t unit = text.at(i).unicode();
                const bool pairHigh =
                    QChar::isHighSurrogate(unit) && i + 1 < text.size() && text.at(i + 1).isLowSurrogate();
                if (pairHigh) {
                    ++i;
                    continue;
                }
                if (!QChar::isSurrogate(unit))
                    continue;
                appendUtf8(QStringView(text).sliced(run, i - run));
                m_out.append(QByteArray("\\u") + QByteArray::number(unit, 16));
                run = i + 1;
            }
            appendUtf8(QStringView(text).sliced(run));
        }
        m_out.append('"');
    }

    void appendUtf8(QStringView text) {
        const QByteArray utf8 = text.toUtf8();
        const char* run = utf8.constData();
        const char* const end = run + utf8.size();
        // Copy unescaped stretches whole; most text has nothing to escape.
        for (const char* p = run; p != end; ++p) {
            const auto u = static_cast<unsigned char>(*p);
            if (u >= 0x20 && u != '"' && u != '\\')
                continue;
            m_out.append(run, p - run);
            run = p + 1;
            switch (u) {
            case '"':
                m_out.append("\\\"");
                break;
            case '\\':
                m_out.append("\\\\");
                break;
            case '\n':
                m_out.append("\\n");
                break;
            case '\r':
                m_out.append("\\r");
                break;
            case '\t':
                m_out.append("\\t");
                break;
            default: {
                static constexpr char hex[] = "0123456789abcdef";
                const char escaped[] = {'\\', 'u', '0', '0', hex[u >> 4], hex[u & 0xF]};
                m_out.append(escaped, sizeof escaped);
            }
            }
        }
        m_out.append(run, end - run);
    }

    void key(QLatin1StringView name) {
        if (m_needsComma)
            m_out.append(',');
        m_out.append('"').append(name.data(), name.size()).append("\":");
        m_needsComma = true;
    }

    void raw(const char* text) { m_out.append(text); }
    void raw(char c) { m_out.append(c); }
    void resetComma() { m_needsComma = false; }

    bool wallpaper(const Wallpaper& w) {
        raw('{');
        resetComma();
        key(Key::id);
        string(w.id);
        key(Key::title);
        string(w.title);
        key(Key::category);
        string(w.category);
        optionalText(Key::poster, w.poster);
        optionalText(Key::preview, w.preview);
        optionalText(Key::video, w.video);
        if (w.bytes) {
            key(Key::bytes);
            m_out.append(QByteArray::number(*w.bytes));
        }
        if (w.seconds) {
            if (!std::isfinite(*w.seconds))
                return false;
            key(Key::seconds);
            char buffer[32];
            const auto result = std::to_chars(buffer, buffer + sizeof buffer, *w.seconds);
            m_out.append(buffer, result.ptr - buffer);
        }
        optionalText(Key::resolution, w.resolution);
        if (w.isImported) {
            key(Key::isImported);
            raw(*w.isImported ? "true" : "false");
        }
        raw('}');
        return true;
    }

    bool array(const QList<Wallpaper>& list) {
        raw('[');
        bool first = true;
        for (const Wallpaper& w : list) {
            if (!first)
                raw(',');
            first = false;
            if (!wallpaper(w))
                return false;
        }
        raw(']');
        return true;
    }

    [[nodiscard]] QByteArray take() { return std::move(m_out); }
    void reserve(qsizetype size) { m_out.reserve(size); }

private:
    void optionalText(QLatin1StringView name, const std::optional<QString>& value) {
        if (!value)
            return;
        key(name);
        string(*value);
    }

    QByteArray m_out;
    bool m_needsComma = false;
};

} // namespace

std::optional<Catalog> WallpaperJson::decodeCatalog(const QByteArray& document) {
    const std::optional<QJsonDocument> parsed = parse(document);
    if (!parsed || !parsed->isObject())
        return std::nullopt;
    std::optional<QList<Wallpaper>> list = fromArray(parsed->object().value(Key::wallpapers));
    if (!list)
        return std::nullopt;
    return Catalog{std::move(*list)};
}

std::optional<QByteArray> WallpaperJson::encodeCatalog(const Catalog& catalog) {
    Writer writer;
    writer.reserve(catalog.wallpapers.size() * 256 + 32);
    writer.raw("{\"wallpapers\":");
    if (!writer.array(catalog.wallpapers))
        return std::nullopt;
    writer.raw('}');
    return writer.take();
}

std::optional<QList<Wallpaper>> WallpaperJson::decodeImportedList(const QByteArray& document) {
    const std::optional<QJsonDocument> parsed = parse(document);
    if (!parsed || !parsed->isArray())
        return std::nullopt;
    return fromArray(QJsonValue(parsed->array()));
}

std::optional<QByteArray> WallpaperJson::encodeImportedList(const QList<Wallpaper>& wallpapers) {
    Writer writer;
    writer.reserve(wallpapers.size() * 256 + 2);
    if (!writer.array(wallpapers))
        return std::nullopt;
    return writer.take();
}

std::optional<QByteArray> WallpaperJson::encodeWallpaper(const Wallpaper& wallpaper) {
    Writer writer;
    if (!writer.wallpaper(wallpaper))
        return std::nullopt;
    return writer.take();
}
