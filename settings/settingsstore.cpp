#include "settings/settingsstore.h"
#include "settings/qualityoptions.h"

#include "rules/conversions.h"
#include "rules/initext.h"
#include "settings/settingskeys.h"
#include "common/apperror.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <QDir>
#include <QSettings>
#include <QStandardPaths>
#include <QVariant>

#include <memory>
#include <optional>
#include <stdexcept>
#include <utility>
#include <vector>

namespace kalmira {

namespace {

using settings::ConversionStatus;

QString fromView(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString keyPath(const QString& section, const QString& key) { return section + QLatin1Char('/') + key; }

std::uint64_t& fileReads() {
    static std::uint64_t reads = 0;
    return reads;
}

bool readIniFile(QIODevice& device, QSettings::SettingsMap& map) {
    ++fileReads();
    const QByteArray bytes = device.readAll();
    for (const settings::IniEntry& entry :
         settings::ParseIniText(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())))) {
        const QString key = QString::fromStdString(entry.key);
        map.insert(entry.section.empty() ? key : QString::fromStdString(entry.section) + QLatin1Char('/') + key,
                   QString::fromStdString(entry.value));
    }
    return true;  // lines that cannot be used are skipped, never an error
}

bool writeIniFile(QIODevice& device, const QSettings::SettingsMap& map) {
    std::vector<settings::IniEntry> topLevel;
    std::vector<settings::IniEntry> inSections;
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
        const qsizetype slash = it.key().lastIndexOf(QLatin1Char('/'));
        settings::IniEntry entry{slash < 0 ? std::string() : it.key().left(slash).toStdString(),
                                 it.key().mid(slash + 1).toStdString(), it.value().toString().toStdString()};
        (entry.section.empty() ? topLevel : inSections).push_back(std::move(entry));
    }
    topLevel.insert(topLevel.end(), inSections.begin(), inSections.end());
    const std::string text = settings::FormatIniText(topLevel);
    return device.write(text.data(), static_cast<qint64>(text.size())) == static_cast<qint64>(text.size());
}

// QSettings' own INI dialect treats backslashes as escapes and ";" as the start of a comment,
// which would mangle a hand-written path such as C:\pal\web.pal; this one keeps values as text.
QSettings::Format storeFormat() {
    static const QSettings::Format format =
        QSettings::registerFormat(QStringLiteral("ini"), &readIniFile, &writeIniFile, Qt::CaseSensitive);
    return format;
}

// A store object per call sees what another process (or the user) changed meanwhile. QSettings
// shares a parsed file between instances only while it is small, so a run of reads (the whole
// load) goes through one object instead: see ReadingSession.
class Store : public QSettings {
public:
    Store()
        : QSettings(storeFormat(), QSettings::UserScope, QString::fromLatin1(kSettingsOrganization),
                    QString::fromLatin1(kSettingsApplication)) {}
};

// The store the reads of a running ReadingSession share; nullptr outside one.
Store*& sessionStore() {
    static Store* store = nullptr;
    return store;
}

// Reads the file once for every read made while it lives (nested sessions share the first).
class ReadingSession {
public:
    ReadingSession() {
        if (!sessionStore()) {
            own_ = std::make_unique<Store>();
            sessionStore() = own_.get();
        }
    }
    ~ReadingSession() {
        if (own_) sessionStore() = nullptr;
    }
    ReadingSession(const ReadingSession&) = delete;
    ReadingSession& operator=(const ReadingSession&) = delete;

private:
    std::unique_ptr<Store> own_;
};

[[noreturn]] void raiseConversionError(ConversionStatus status, const QString& section, const QString& key,
                                       const QString& text) {
    const bool overflow = status == ConversionStatus::Overflow;
    throw AppError(overflow ? kOverflowError : kTypeMismatchError,
                   QStringLiteral("%1 (settings %2/%3 = \"%4\")")
                       .arg(overflow ? QStringLiteral("Overflow") : QStringLiteral("Type mismatch"), section, key,
                            text));
}

template <class T>
T convertOrRaise(settings::Conversion<T> (*convert)(std::string_view), const QString& section, const QString& key,
                 const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    settings::Conversion<T> result = convert(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
    if (!result.ok()) raiseConversionError(result.status, section, key, text);
    return result.value;
}

// Writes several keys with one flush, so a whole record lands in one file write.
void writeAll(const std::vector<std::pair<QString, QString>>& values) {
    Store store;
    // The owner's write bit is the user's way of freezing the settings. The system's own check
    // does not stop an administrator's account, so look at the bit itself.
    const QFileInfo file(store.fileName());
    if (file.exists() && file.isFile() && !(file.permissions() & QFileDevice::WriteOwner)) {
        throw AppError(kSettingsWriteError,
                       QStringLiteral("The settings could not be saved: \"%1\" is read-only.").arg(store.fileName()));
    }
    for (const auto& [path, text] : values) store.setValue(path, text);
    store.sync();
    if (store.status() != QSettings::NoError) {
        const QString what = values.size() == 1 ? values.front().first : QStringLiteral("%1 values").arg(values.size());
        throw AppError(kSettingsWriteError,
                       QStringLiteral("The settings could not be saved (%1) to \"%2\": the file cannot be written.")
                           .arg(what, store.fileName()));
    }
}

// Remembers the first conversion error and lets reading go on, so one damaged value does not
// cost the user every preference read after it.
class FirstError {
public:
    template <class F>
    void attempt(F&& read) {
        try {
            std::forward<F>(read)();
        } catch (const AppError& error) {
            if (!first_) first_ = error;
        }
    }
    void raiseIfAny() const {
        if (first_) throw *first_;
    }

private:
    std::optional<AppError> first_;
};

QString sectionName(std::string_view section) { return fromView(section); }

const QString& settingsSection() {
    static const QString name = sectionName(settings::kSectionSettings);
    return name;
}

// The default of a key whose table default is a fixed text.
QString tableDefault(std::string_view section, std::string_view key) {
    return fromView(settings::FindSettingKey(section, key).defaultText);
}

std::int32_t readTableWholeNumber(std::string_view key) {
    const QString text = ReadSetting(settingsSection(), fromView(key), tableDefault(settings::kSectionSettings, key));
    return convertOrRaise<std::int32_t>(&settings::StrictWholeNumber, settingsSection(), fromView(key), text);
}

bool readTableBoolean(std::string_view key) {
    const QString text = ReadSetting(settingsSection(), fromView(key), tableDefault(settings::kSectionSettings, key));
    return convertOrRaise<bool>(&settings::StrictBoolean, settingsSection(), fromView(key), text);
}

// A value that fails to convert keeps its default, so each reader starts from the defaults.
void readPlacement(MainWindowPlacement& placement, FirstError& errors) {
    placement = MainWindowPlacement{};
    errors.attempt([&] { placement.MainLeft = readTableWholeNumber("MainLeft"); });
    errors.attempt([&] { placement.MainTop = readTableWholeNumber("MainTop"); });
    errors.attempt([&] { placement.MainWidth = readTableWholeNumber("MainWidth"); });
    errors.attempt([&] { placement.MainHeight = readTableWholeNumber("MainHeight"); });
    errors.attempt([&] {
        const QString text = ReadSetting(settingsSection(), QStringLiteral("MainWindowState"),
                                         tableDefault(settings::kSectionSettings, "MainWindowState"));
        placement.MainWindowState =
            convertOrRaise<std::int16_t>(&settings::LeadingInt16, settingsSection(), QStringLiteral("MainWindowState"), text);
    });
}

QString recentFileKey(int position) {
    if (position < 0 || position >= kRecentFileCount) throw std::out_of_range("recent file position out of range");
    return QStringLiteral("File%1").arg(position);
}

QString profileSection(int slot) { return fromView(settings::kProfileSectionPrefix) + QString::number(slot); }

void loadProgramOptions(ProgramOptionsRecord& options, FirstError& errors) {
    options = DefaultProgramOptions();
    for (const settings::SettingKey& r : settings::kSettingKeys) {
        if (r.field16) {
            errors.attempt([&] {
                options.*r.field16 = ReadLeadingInt16(fromView(r.section), fromView(r.key),
                                                      settings::LeadingInt16(r.defaultText).value);
            });
        } else if (r.field32) {
            errors.attempt([&] {
                options.*r.field32 = ReadLeadingInt32(fromView(r.section), fromView(r.key),
                                                      settings::LeadingInt32(r.defaultText).value);
            });
        }
    }
    // Each profile key's default is the slot's current value: the built-in profile.
    for (int slot = kFirstProfileSlot; slot <= kLastProfileSlot; ++slot) {
        OptimizeProfile& profile = options.Profiles[static_cast<std::size_t>(slot)];
        const QString section = profileSection(slot);
        for (const settings::ProfileKey& r : settings::kProfileKeys) {
            errors.attempt([&] {
                if (r.field16)
                    profile.*r.field16 = ReadLeadingInt16(section, fromView(r.key), profile.*r.field16);
                else
                    profile.*r.textField =
                        ReadSetting(section, fromView(r.key), QString::fromStdString(profile.*r.textField)).toStdString();
            });
        }
    }
}

}  // namespace

namespace settings {

const SettingKey& FindSettingKey(std::string_view section, std::string_view key) {
    for (const SettingKey& r : kSettingKeys)
        if (r.section == section && r.key == key) return r;
    throw std::out_of_range("unknown settings key");
}

}  // namespace settings

QString SettingsFilePath() {
    Store store;
    return store.fileName();
}

std::uint64_t SettingsFileReads() { return fileReads(); }

namespace {

// Where the store's file lies, worked out as the store does it (the user's configuration folder,
// the organisation, the application name) but without opening the store, which would parse the
// whole file first.
QString storePathWithoutReading() {
    QString folder = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (folder.isEmpty() || QDir::isRelativePath(folder)) folder = QDir::homePath() + QStringLiteral("/.config");
    return folder + QLatin1Char('/') + QString::fromLatin1(kSettingsOrganization) + QLatin1Char('/') +
           QString::fromLatin1(kSettingsApplication) + QStringLiteral(".ini");
}

}  // namespace

QString RescueUnreadableSettingsFile() {
    // A file larger than any the program writes (a million keys cost a minute to load and to
    // quit) is set aside like an unreadable one, before anything reads it.
    const QString unopened = storePathWithoutReading();
    const bool oversized = QFileInfo(unopened).size() > kMaxSettingsFileBytes;
    const QString path = oversized ? unopened : SettingsFilePath();
    QFile file(path);
    if (!file.exists() || !file.open(QIODevice::ReadOnly)) return {};
    if (!oversized) {
        const QByteArray bytes = file.readAll();
        file.close();
        if (settings::IsIniText(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())))) return {};
    }
    file.close();
    // Kept beside the store under a name no earlier rescue has taken, then the store starts
    // over from the defaults.
    QString copy = path + QStringLiteral(".unreadable");
    for (int n = 2; QFileInfo::exists(copy); ++n) copy = path + QStringLiteral(".unreadable-%1").arg(n);
    if (!QFile::copy(path, copy)) return {};
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return {};
    file.close();
    return copy;
}

QString ReadSetting(const QString& section, const QString& key, const QString& defaultText) {
    const ReadingSession session;
    const QVariant value = sessionStore()->value(keyPath(section, key));
    if (!value.isValid()) return defaultText;
    return value.toString();
}

void WriteSetting(const QString& section, const QString& key, const QString& text) {
    writeAll({{keyPath(section, key), text}});
}

std::int16_t ReadLeadingInt16(const QString& section, const QString& key, std::int16_t defaultValue) {
    const QString text = ReadSetting(section, key, QString::number(defaultValue));
    return convertOrRaise<std::int16_t>(&settings::LeadingInt16, section, key, text);
}

std::int32_t ReadLeadingInt32(const QString& section, const QString& key, std::int32_t defaultValue) {
    const QString text = ReadSetting(section, key, QString::number(defaultValue));
    return convertOrRaise<std::int32_t>(&settings::LeadingInt32, section, key, text);
}

std::int32_t ReadStrictWholeNumber(const QString& section, const QString& key, std::int32_t defaultValue) {
    const QString text = ReadSetting(section, key, QString::number(defaultValue));
    return convertOrRaise<std::int32_t>(&settings::StrictWholeNumber, section, key, text);
}

float ReadStrictSingle(const QString& section, const QString& key, float defaultValue) {
    const QString text = ReadSetting(section, key, QString::fromStdString(settings::FormatSingle(defaultValue)));
    return convertOrRaise<float>(&settings::StrictSingle, section, key, text);
}

bool ReadStrictBoolean(const QString& section, const QString& key, bool defaultValue) {
    const QString text = ReadSetting(section, key, QString::fromStdString(settings::FormatBoolean(defaultValue)));
    return convertOrRaise<bool>(&settings::StrictBoolean, section, key, text);
}

void WriteWholeNumber(const QString& section, const QString& key, std::int64_t value) {
    WriteSetting(section, key, QString::fromStdString(settings::FormatWholeNumber(value)));
}

void WriteSingle(const QString& section, const QString& key, float value) {
    WriteSetting(section, key, QString::fromStdString(settings::FormatSingle(value)));
}

void WriteBoolean(const QString& section, const QString& key, bool value) {
    WriteSetting(section, key, QString::fromStdString(settings::FormatBoolean(value)));
}

MainWindowPlacement ReadMainWindowPlacement() {
    const ReadingSession session;
    MainWindowPlacement placement;
    FirstError errors;
    readPlacement(placement, errors);
    errors.raiseIfAny();
    return placement;
}

void WriteMainWindowPlacement(const MainWindowPlacement& placement) {
    const std::int16_t state =
        placement.MainWindowState == kWindowStateMinimized ? kWindowStateNormal : placement.MainWindowState;
    const QString& s = settingsSection();
    writeAll({
        {keyPath(s, QStringLiteral("MainLeft")), QString::number(placement.MainLeft)},
        {keyPath(s, QStringLiteral("MainTop")), QString::number(placement.MainTop)},
        {keyPath(s, QStringLiteral("MainWidth")), QString::number(placement.MainWidth)},
        {keyPath(s, QStringLiteral("MainHeight")), QString::number(placement.MainHeight)},
        {keyPath(s, QStringLiteral("MainWindowState")), QString::number(state)},
    });
}

QString DefaultInitialDirectory() {
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (!pictures.isEmpty() && QFileInfo(pictures).isDir()) return pictures;
    return QDir::homePath();
}

QString ReadInitialDirectory() {
    // The program's own folder (a build folder, /usr/bin) is no place to look for pictures.
    return ReadSetting(settingsSection(), QStringLiteral("InitDir"), DefaultInitialDirectory());
}

void WriteInitialDirectory(const QString& folder) { WriteSetting(settingsSection(), QStringLiteral("InitDir"), folder); }

bool ReadToolsOpen() { return readTableBoolean("ToolsOpen"); }
void WriteToolsOpen(bool open) { WriteBoolean(settingsSection(), QStringLiteral("ToolsOpen"), open); }
bool ReadPaletteOpen() { return readTableBoolean("PaletteOpen"); }
void WritePaletteOpen(bool open) { WriteBoolean(settingsSection(), QStringLiteral("PaletteOpen"), open); }

void WriteWindowsOpenAndFolder(bool toolsOpen, bool paletteOpen, const QString& folder) {
    const QString& s = settingsSection();
    writeAll({{keyPath(s, QStringLiteral("ToolsOpen")), QString::fromStdString(settings::FormatBoolean(toolsOpen))},
              {keyPath(s, QStringLiteral("PaletteOpen")), QString::fromStdString(settings::FormatBoolean(paletteOpen))},
              {keyPath(s, QStringLiteral("InitDir")), folder}});
}

QString ReadRecentFile(int position) {
    return ReadSetting(sectionName(settings::kSectionLastFiles), recentFileKey(position), QString());
}

void WriteRecentFile(int position, const QString& fileName) {
    WriteSetting(sectionName(settings::kSectionLastFiles), recentFileKey(position), fileName);
}

void WriteRecentFiles(const std::array<QString, kRecentFileCount>& fileNames) {
    const QString section = sectionName(settings::kSectionLastFiles);
    std::vector<std::pair<QString, QString>> values;
    for (int position = 0; position < kRecentFileCount; ++position)
        values.emplace_back(keyPath(section, recentFileKey(position)), fileNames[static_cast<std::size_t>(position)]);
    writeAll(values);
}

float ReadToolsLeft(float defaultValue) {
    return ReadStrictSingle(settingsSection(), QStringLiteral("ToolsLeft"), defaultValue);
}
float ReadToolsTop(float defaultValue) {
    return ReadStrictSingle(settingsSection(), QStringLiteral("ToolsTop"), defaultValue);
}
float ReadPaletteLeft(float defaultValue) {
    return ReadStrictSingle(settingsSection(), QStringLiteral("PaletteLeft"), defaultValue);
}
float ReadPaletteTop(float defaultValue) {
    return ReadStrictSingle(settingsSection(), QStringLiteral("PaletteTop"), defaultValue);
}

bool ToolsPositionStored() {
    return !ReadSetting(settingsSection(), QStringLiteral("ToolsLeft"), QString()).isEmpty() &&
           !ReadSetting(settingsSection(), QStringLiteral("ToolsTop"), QString()).isEmpty();
}

bool PalettePositionStored() {
    return !ReadSetting(settingsSection(), QStringLiteral("PaletteLeft"), QString()).isEmpty() &&
           !ReadSetting(settingsSection(), QStringLiteral("PaletteTop"), QString()).isEmpty();
}

void WriteToolsPosition(float left, float top) {
    const QString& s = settingsSection();
    writeAll({{keyPath(s, QStringLiteral("ToolsLeft")), QString::fromStdString(settings::FormatSingle(left))},
              {keyPath(s, QStringLiteral("ToolsTop")), QString::fromStdString(settings::FormatSingle(top))}});
}

void WritePalettePosition(float left, float top) {
    const QString& s = settingsSection();
    writeAll({{keyPath(s, QStringLiteral("PaletteLeft")), QString::fromStdString(settings::FormatSingle(left))},
              {keyPath(s, QStringLiteral("PaletteTop")), QString::fromStdString(settings::FormatSingle(top))}});
}

void LoadProgramOptions(ProgramOptionsRecord& options) {
    const ReadingSession session;
    FirstError errors;
    loadProgramOptions(options, errors);
    errors.raiseIfAny();
}

void SaveProgramOptions(const ProgramOptionsRecord& options) {
    std::vector<std::pair<QString, QString>> values;
    for (const settings::SettingKey& r : settings::kSettingKeys) {
        if (r.field16) values.emplace_back(keyPath(fromView(r.section), fromView(r.key)), QString::number(options.*r.field16));
        if (r.field32) values.emplace_back(keyPath(fromView(r.section), fromView(r.key)), QString::number(options.*r.field32));
    }
    for (int slot = kFirstProfileSlot; slot <= kLastProfileSlot; ++slot) {
        const OptimizeProfile& profile = options.Profiles[static_cast<std::size_t>(slot)];
        const QString section = profileSection(slot);
        for (const settings::ProfileKey& r : settings::kProfileKeys) {
            values.emplace_back(keyPath(section, fromView(r.key)),
                                r.field16 ? QString::number(profile.*r.field16) : QString::fromStdString(profile.*r.textField));
        }
    }
    writeAll(values);
}

void LoadSettings() {
    // Every value from one reading of the file: a large file would otherwise be read again
    // for each key, and the start-up would take minutes.
    const ReadingSession session;
    FirstError errors;
    MainWindowSettings& main = MainSettings();
    readPlacement(main.Placement, errors);
    loadProgramOptions(ProgramOptions(), errors);
    for (int position = 0; position < kRecentFileCount; ++position)
        main.RecentFiles[static_cast<std::size_t>(position)] = ReadRecentFile(position);
    main.InitialDirectory = ReadInitialDirectory();
    main.ToolsOpen = true;
    main.PaletteOpen = true;
    errors.attempt([&] { main.ToolsOpen = ReadToolsOpen(); });
    errors.attempt([&] { main.PaletteOpen = ReadPaletteOpen(); });
    errors.attempt([&] { LoadQualityOptions(QualityOptions()); });
    errors.raiseIfAny();
}

void SaveAllSettings() { SaveProgramOptions(ProgramOptions()); }

}  // namespace kalmira
