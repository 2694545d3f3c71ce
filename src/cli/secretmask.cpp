// Hiding the setup password and the access code in commands, replies and shown values.

#include "secretmask.h"

#include "catalogue.h"

#include <algorithm>
#include <set>

namespace lv {

namespace {

const std::set<std::string, std::less<>>& secretTags()
{
    static const std::set<std::string, std::less<>> tags = [] {
        std::set<std::string, std::less<>> t;
        for (const WindowDef& window : windowCatalogue())
            for (const FieldDef& field : window.fields)
                if (field.secret && !field.tag.empty())
                    t.insert(field.tag);
        return t;
    }();
    return tags;
}

// Replaces the value of every "<T>value</T>" item of a secret tag.
void maskItems(std::string& text)
{
    for (const std::string& tag : secretTags()) {
        const std::string open = "<" + tag + ">";
        const std::string close = "</" + tag + ">";
        std::size_t from = 0;
        while ((from = text.find(open, from)) != std::string::npos) {
            const std::size_t begin = from + open.size();
            const std::size_t end = text.find(close, begin);
            if (end == std::string::npos)
                break;
            if (end > begin)
                text.replace(begin, end - begin, kMaskedSecret);
            from = text.find(close, begin) + close.size();
        }
    }
}

} // namespace

void SecretMask::addPassword(const std::string& password)
{
    if (password.empty() || std::find(m_passwords.begin(), m_passwords.end(), password) != m_passwords.end())
        return;
    m_passwords.push_back(password);
    // Longest first: of two passwords where one begins the other, the longer one is meant.
    std::sort(m_passwords.begin(), m_passwords.end(),
              [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
}

std::size_t SecretMask::headerPasswordEnd(std::string_view bytes, std::size_t start) const
{
    const std::string_view rest = bytes.substr(start);
    const std::size_t nul = std::min(rest.find('\0'), rest.size());
    switch (bytes[0]) {
    case 'G': // the password runs to the zero byte that ends the request
        return start + nul;
    case 'U': // nothing follows the password
    case 'M': // nothing follows the access code
        return bytes.size();
    default:
        break;
    }
    // A set command: the password is followed by the end, the zero byte of a multi-port window or "/".
    for (const std::string& password : m_passwords) {
        if (rest.substr(0, password.size()) != password)
            continue;
        const std::size_t after = start + password.size();
        if (after == bytes.size() || bytes[after] == '\0' || bytes[after] == '/')
            return after;
    }
    return start + std::min(nul, std::min(rest.find('/'), rest.size()));
}

std::string SecretMask::masked(std::string_view bytes) const
{
    std::string text(bytes);
    if (!m_enabled)
        return text;
    const bool header = bytes.size() >= 2 && bytes[1] == ' ' &&
                        (bytes[0] == 'G' || bytes[0] == 'S' || bytes[0] == 'U' || bytes[0] == 'M');
    if (header) {
        const std::size_t first = bytes.find('/', 2);
        const std::size_t second = first == std::string_view::npos ? first : bytes.find('/', first + 1);
        if (second != std::string_view::npos) {
            const std::size_t start = second + 1;
            const std::size_t end = headerPasswordEnd(bytes, start);
            maskItems(text.replace(start, end - start, end > start ? kMaskedSecret : std::string_view()));
            return text;
        }
    }
    maskItems(text);
    return text;
}

} // namespace lv
