// The controller's core: construction and destruction, device selection, the rule editor's
// source, modifiers and name, the live-view switches, the high-contrast poll, the notice
// timeout and the small helpers that QML calls.

#include "app/app_controller.h"

#include "app/agent_link.h"
#include "app/file_choice.h"
#include "app/popup_layouts.h"

#include "core/agent_protocol.h"
#include "core/input_id.h"
#include "core/rule_inheritance.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QQuickItem>
#include <QJsonDocument>
#include <QStandardPaths>

namespace {

// The device catalog and the branding file are a few kilobytes; larger is not ours.
constexpr qint64 kMaxResourceBytes = 1 << 20;
constexpr int kLayoutPollMs = 750;
constexpr int kNoticeMs = 5000;

QJsonObject readJsonResource(const QString& path, bool& opened)
{
    QFile file(path);
    opened = file.open(QIODevice::ReadOnly);
    if (!opened)
        return {};
    return QJsonDocument::fromJson(file.read(kMaxResourceBytes)).object();
}

bool isSavedAndApplied(const QString& notice)
{
    return notice == app::kSavedAndAppliedRu || notice == app::kSavedAndAppliedEn;
}

} // namespace

AppController::AppController(QObject* parent, bool interactive, ControllerSeams seams)
    : QObject(parent), m_seams(std::move(seams)), m_interactive(interactive)
{
    if (!m_seams.startDetached || !m_seams.monotonicMs || !m_seams.probe) {
        const ControllerSeams system = ControllerSeams::system();
        if (!m_seams.startDetached)
            m_seams.startDetached = system.startDetached;
        if (!m_seams.monotonicMs)
            m_seams.monotonicMs = system.monotonicMs;
        if (!m_seams.probe)
            m_seams.probe = system.probe;
    }

    bool catalogOpened = false;
    const QJsonObject catalog = readJsonResource(QStringLiteral(":/devices/catalog.json"), catalogOpened);
    if (catalogOpened)
        m_models = catalog.value(QLatin1String("models")).toArray().toVariantList();

    buildOptionTables();
    loadLibrary();

    m_noticeTimer.setSingleShot(true);
    m_noticeTimer.setInterval(kNoticeMs);
    connect(&m_noticeTimer, &QTimer::timeout, this, &AppController::onStatusTimeout);

    liveCoalesceTimer.setSingleShot(true);
    liveCoalesceTimer.setInterval(0);
    connect(&liveCoalesceTimer, &QTimer::timeout, this, &AppController::onLiveCoalesced);
    connect(&m_live, &LiveInputModel::changed, this, &AppController::onLiveModelChanged);

    m_layoutTimer.setInterval(kLayoutPollMs);
    connect(&m_layoutTimer, &QTimer::timeout, this, &AppController::updateKeyboardLayout);
    connect(&m_layoutTimer, &QTimer::timeout, this, &AppController::pollHighContrast);

    if (m_interactive) {
        pollHighContrast();
        updateKeyboardLayout();
        m_layoutTimer.start();
    }

    m_agentSocket.setReadBufferSize(vorna::protocol::kReadBufferBytes);
    connect(&m_agentSocket, &QLocalSocket::connected, this, &AppController::onAgentConnected);
    connect(&m_agentSocket, &QLocalSocket::readyRead, this, &AppController::onAgentReadyRead);
    connect(&m_agentSocket, &QLocalSocket::disconnected, this, &AppController::onAgentDisconnected);

    m_reconnectTimer.setInterval(app::kAgentReconnectIntervalMs);
    connect(&m_reconnectTimer, &QTimer::timeout, this, &AppController::onReconnectTick);

    if (m_interactive) {
        m_reconnectTimer.start();
        QTimer::singleShot(0, this, &AppController::connectAgent);
    }
}

AppController::~AppController()
{
    m_reconnectTimer.stop();
    if (m_agentSocket.state() == QLocalSocket::ConnectedState) {
        sendCommand(QJsonObject{{QStringLiteral("command"), QStringLiteral("observe")},
            {QStringLiteral("enabled"), false}});
        m_agentSocket.flush();
    }
    m_agentSocket.disconnect(this);
    m_agentSocket.abort();
}

QString AppController::text(const char* russian, const char* english) const
{
    return englishText() ? QString::fromUtf8(english) : QString::fromUtf8(russian);
}

QVariantMap AppController::selectedModel() const
{
    if (m_selectedIndex < 0 || m_selectedIndex >= m_models.size())
        return {};
    return m_models.at(m_selectedIndex).toMap();
}

bool AppController::connected() const
{
    return m_agentSocket.state() == QLocalSocket::ConnectedState;
}

bool AppController::engineCompatible() const
{
    return connected() && m_agentVersion > vorna::protocol::kOlderEngineVersion;
}

QString AppController::engineIssue() const
{
    if (engineCompatible())
        return {};
    if (connected())
        return text("В фоне запущен старый движок. Нажмите «Отключить и выйти», затем снова откройте новую версию.",
            "An older engine is running. Click Disable and quit, then open this new version again.");
    return text("Движок не подключён.", "Engine not connected.");
}

void AppController::setSelectedIndex(int index)
{
    if (index < 0 || index >= m_models.size() || index == m_selectedIndex)
        return;
    setCaptureMode(false);
    m_selectedIndex = index;
    m_autoApplySuspended = true;
    m_pendingDocumentHash.clear();
    emit selectionChanged();
}

void AppController::setSourceId(const QString& id)
{
    vorna::core::InputId parsed = 0;
    if (!vorna::core::parseInputId(id, parsed))
        return;
    if (m_captureMode || !calibrationHotspot.isEmpty())
        setCaptureMode(false);
    if (id != m_sourceId) {
        m_trigger = QJsonObject();
        m_ruleName.clear();
    }
    m_sourceId = id;
    outputOption(id);
    emit mappingChanged();
}

void AppController::setRuleName(const QString& name)
{
    if (name == m_ruleName)
        return;
    m_ruleName = name;
    emit mappingChanged();
}

void AppController::setSourceModifiers(int modifiers)
{
    if (static_cast<unsigned>(modifiers) > 15u || modifiers == m_sourceModifiers)
        return;
    m_sourceModifiers = modifiers;
    const QJsonArray rules = vorna::core::effectiveRules(m_library, profileIndex(), layerIndex());
    for (const QJsonValue& value : rules) {
        const QJsonObject rule = value.toObject();
        if (rule.value(QLatin1String("source")).toString() == m_sourceId
            && rule.value(QLatin1String("modifiers")).toInt(0) == modifiers) {
            selectRule(m_sourceId + QLatin1Char('#') + QString::number(modifiers));
            return;
        }
    }
    m_ruleName.clear();
    emit mappingChanged();
}

QString AppController::localPath(const QUrl& url) const
{
    return app::localFilePath(url);
}

QUrl AppController::documentsFolder() const
{
    // A fresh account may have no documents folder yet; its home always exists.
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return QUrl::fromLocalFile(QFileInfo(documents).isDir() ? documents : QDir::homePath());
}

void AppController::rearrangePopup(QQuickItem* contentItem) const
{
    app::rearrangePopupLayouts(contentItem != nullptr ? contentItem->parentItem() : nullptr);
}

QVariantMap AppController::pickFile(const QUrl& folder, const QString& name, const QString& suffix) const
{
    const QString path = app::pickedFilePath(app::localFilePath(folder), name, suffix);
    const QFileInfo file(path);
    return {{QStringLiteral("url"), path.isEmpty() ? QUrl() : QUrl::fromLocalFile(path)},
        {QStringLiteral("path"), QDir::toNativeSeparators(path)}, {QStringLiteral("usable"), !path.isEmpty()},
        {QStringLiteral("exists"), !path.isEmpty() && file.exists()}, {QStringLiteral("folder"), !path.isEmpty() && file.isDir()},
        {QStringLiteral("folderExists"), !path.isEmpty() && file.absoluteDir().exists()}};
}

QString AppController::imageUrl(const QString& relative) const
{
    const QString path = QDir::isAbsolutePath(relative)
        ? relative
        : QDir(QCoreApplication::applicationDirPath()).filePath(relative);
    return QUrl::fromLocalFile(path).toString();
}

int AppController::recordingSeconds() const
{
    if (!m_recording || m_recorder.startedAt() < 0)
        return 0;
    return static_cast<int>((m_seams.monotonicMs() - m_recorder.startedAt()) / 1000);
}

void AppController::setObservation(bool value)
{
    m_observationWanted = value;
    if (value)
        m_observeHeldBack = false;
    sendObserve();
}

void AppController::setLivePage(bool visible)
{
    m_livePage = visible;
    if (!visible) {
        cancelOutputCapture();
        m_observationWanted = false;
        if (m_captureMode || !m_calibrationCandidate.isEmpty())
            setCaptureMode(false);
    }
    sendObserve();
}

void AppController::setLiveEnabled(bool enabled)
{
    m_liveEnabled = enabled;
    if (enabled)
        m_observeHeldBack = false;
    sendObserve();
    emit stateChanged();
}

void AppController::setLiveHistory(bool enabled)
{
    m_live.setHistoryEnabled(enabled);
}

void AppController::clearLive()
{
    m_live.clear();
}

void AppController::pollHighContrast()
{
    const bool highContrast = m_seams.probe->highContrast();
    const bool systemDark = m_seams.probe->darkColourScheme();
    if (highContrast == m_windowsHighContrast && systemDark == m_systemDark)
        return;
    m_windowsHighContrast = highContrast;
    m_systemDark = systemDark;
    emit preferencesChanged();
}

void AppController::onStatusTimeout()
{
    if (!isSavedAndApplied(m_notice))
        return;
    m_notice.clear();
    emit libraryChanged();
}

void AppController::openWebsite()
{
    bool opened = false;
    const QJsonObject branding = readJsonResource(QStringLiteral(":/config/branding.json"), opened);
    if (!opened)
        return;
    QDesktopServices::openUrl(QUrl(branding.value(QLatin1String("website")).toString(), QUrl::TolerantMode));
}

void AppController::saveSelection()
{
    QJsonObject next = m_library;
    next.insert(QStringLiteral("modelId"), selectedModel().value(QStringLiteral("id")).toString());
    if (next == m_library)
        return;
    commitLibrary(next, false);
}

void AppController::applyMapping()
{
    if (m_active && !m_autoApplySuspended) {
        if (!saveRule() || !m_pendingDocumentHash.isEmpty())
            return;
        applyProfile();
        return;
    }
    if (saveRule())
        applyProfile();
}
