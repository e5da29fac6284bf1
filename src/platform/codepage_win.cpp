#include "platform/narrowpath.h"

#include <qt_windows.h>

#include <vector>

namespace {

QByteArray convertCodePage(const QByteArray &text, UINT from, UINT to)
{
    const int wideCount = MultiByteToWideChar(from, 0, text.constData(), -1, nullptr, 0);
    if (wideCount <= 0)
        return QByteArray();
    std::vector<wchar_t> wide(size_t(wideCount) + 1, L'\0');
    MultiByteToWideChar(from, 0, text.constData(), -1, wide.data(), wideCount);
    const int byteCount = WideCharToMultiByte(to, 0, wide.data(), -1, nullptr, 0, nullptr, nullptr);
    if (byteCount <= 0)
        return QByteArray();
    std::vector<char> bytes(size_t(byteCount) + 1, '\0');
    WideCharToMultiByte(to, 0, wide.data(), -1, bytes.data(), byteCount, nullptr, nullptr);
    return QByteArray(bytes.data());
}

} // namespace

QByteArray Utf8ToLocal(const QByteArray &text)
{
    return convertCodePage(text, CP_UTF8, CP_ACP);
}

QByteArray LocalToUtf8(const QByteArray &text)
{
    return convertCodePage(text, CP_ACP, CP_UTF8);
}
