#include "platform/tokenprotection.h"

#ifdef Q_OS_WIN
// windows.h must come before wincrypt.h.
// clang-format off
#include <windows.h>
#include <wincrypt.h>
// clang-format on

std::optional<QByteArray> protectForCurrentUser(const QByteArray &plain)
{
    DATA_BLOB input;
    input.pbData = reinterpret_cast<BYTE *>(const_cast<char *>(plain.constData()));
    input.cbData = static_cast<DWORD>(plain.size());
    DATA_BLOB output{};
    if (!CryptProtectData(&input, L"FX3 ModManager mod.io token", nullptr, nullptr, nullptr,
                          CRYPTPROTECT_UI_FORBIDDEN, &output))
        return std::nullopt;
    QByteArray encrypted(reinterpret_cast<const char *>(output.pbData), static_cast<int>(output.cbData));
    LocalFree(output.pbData);
    return encrypted;
}

std::optional<QByteArray> unprotectForCurrentUser(const QByteArray &encrypted)
{
    DATA_BLOB input;
    input.pbData = reinterpret_cast<BYTE *>(const_cast<char *>(encrypted.constData()));
    input.cbData = static_cast<DWORD>(encrypted.size());
    DATA_BLOB output{};
    if (!CryptUnprotectData(&input, nullptr, nullptr, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &output))
        return std::nullopt;
    QByteArray plain(reinterpret_cast<const char *>(output.pbData), static_cast<int>(output.cbData));
    LocalFree(output.pbData);
    return plain;
}

#else

std::optional<QByteArray> protectForCurrentUser(const QByteArray &)
{
    return std::nullopt;
}

std::optional<QByteArray> unprotectForCurrentUser(const QByteArray &)
{
    return std::nullopt;
}

#endif
