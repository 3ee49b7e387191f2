#include "settings/SettingsStore.h"

#include <QtGlobal>

#ifdef Q_OS_WIN
#include <QUuid>

#include <gtest/gtest.h>

#include <windows.h>

using namespace beamtide;

namespace {

// A key of the test's own under HKEY_CURRENT_USER\Software, gone afterwards.
class RegistryKey
{
public:
    RegistryKey()
        : m_sub(QStringLiteral("Software\\BeamtideTests\\")
                + QUuid::createUuid().toString(QUuid::WithoutBraces))
    {
    }
    ~RegistryKey() { RegDeleteTreeW(HKEY_CURRENT_USER, wide(m_sub)); }

    QString path() const { return QStringLiteral("HKEY_CURRENT_USER\\") + m_sub; }
    std::wstring group() const { return QString(m_sub + QStringLiteral("\\Drovix")).toStdWString(); }

    void setRaw(const wchar_t* name, DWORD type, const void* data, DWORD size) const
    {
        ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, group().c_str(), name, type, data, size),
                  ERROR_SUCCESS);
    }
    DWORD typeOf(const wchar_t* name) const
    {
        DWORD type = 0;
        RegGetValueW(HKEY_CURRENT_USER, group().c_str(), name, RRF_RT_ANY, &type, nullptr, nullptr);
        return type;
    }

private:
    static const wchar_t* wide(const QString& s) { return reinterpret_cast<const wchar_t*>(s.utf16()); }
    QString m_sub;
};

} // namespace

TEST(RegistryStore, ValuesAreTextUnderTheGroupKey)
{
    RegistryKey key;
    {
        SettingsStore store(key.path(), 1);
        store.writeText(u"WSPRBand", QStringLiteral("20"));
        store.writeInt(u"BeamtideLeft", 140);
        store.writeBool(u"BeamtideTray", true);
        const SaveResult saved = store.sync();
        EXPECT_TRUE(saved.ok) << saved.error.toStdString();
        EXPECT_EQ(store.fileName(), key.path() + QStringLiteral("\\Drovix"));
    }
    for (const wchar_t* name : {L"WSPRBand1", L"BeamtideLeft1", L"BeamtideTray1"})
        EXPECT_EQ(key.typeOf(name), DWORD(REG_SZ));
    const SettingsStore again(key.path(), 1);
    EXPECT_EQ(again.readText(u"WSPRBand", {}), "20");
    EXPECT_EQ(again.readInt(u"BeamtideLeft", 0), 140);
}

// What another program or an old version left: read as text where it is a number, else
// the default; never a crash.
TEST(RegistryStore, ForeignValueTypesGiveTextOrTheDefault)
{
    RegistryKey key;
    const DWORD number = 432;
    key.setRaw(L"WSPRBand1", REG_DWORD, &number, sizeof number);
    const unsigned char blob[] = {0xff, 0x00, 0x13, 0x80};
    key.setRaw(L"BeamtideLeft1", REG_BINARY, blob, sizeof blob);
    const std::wstring huge(100 * 1024, L'7');
    key.setRaw(L"BeamtideTop1", REG_SZ, huge.c_str(), DWORD((huge.size() + 1) * sizeof(wchar_t)));

    const SettingsStore store(key.path(), 1);
    EXPECT_EQ(store.readText(u"WSPRBand", QStringLiteral("20")), "432");
    EXPECT_EQ(store.readInt(u"BeamtideLeft", -5), -5);
    EXPECT_EQ(store.readInt(u"BeamtideTop", 9), 9);
    EXPECT_EQ(store.readText(u"BeamtideMissing", QStringLiteral("x")), "x");
}

TEST(RegistryStore, MissingKeyGivesDefaults)
{
    RegistryKey key;
    const SettingsStore store(key.path(), 3);
    EXPECT_EQ(store.readInt(u"BeamtideLeft", 17), 17);
}

// A refused write is a failed save that names the key and says the earlier values stayed.
TEST(RegistryStore, RefusedWriteIsAFailedSave)
{
    RegistryKey key;
    SettingsStore store(key.path(), 1);
    store.setStatusSource([](const QSettings&) { return QSettings::AccessError; });
    store.writeText(u"WSPRBand", QStringLiteral("40"));
    const SaveResult saved = store.sync();
    EXPECT_FALSE(saved.ok);
    EXPECT_TRUE(saved.error.contains(key.path())) << saved.error.toStdString();
    EXPECT_TRUE(saved.error.contains(QStringLiteral("written before the failure were kept")));
}
#endif
