#pragma once

// The one object behind the settings window's QML: it holds the edited library, the link to the
// agent, the live view and the editors' state, and every page reads its properties and calls its
// invokables. One header; the members live in part files by concern:
//   app/app_controller.cpp                 construction, the simple setters and switches
//   app/app_controller_agent_link.cpp      the pipe to the agent, status and observation
//   app/app_controller_capture.cpp         shortcut capture and press capture
//   app/app_controller_live_feed.cpp       agent input events, trace and the recording feed
//   app/app_controller_options.cpp         input and output option tables, favorites
//   app/app_controller_devices.cpp         keyboard layout and key labels
//   app/app_controller_library.cpp         load, commit, undo, redo, hash, auto-apply
//   app/app_controller_{profiles,rules,triggers,motion,conditions,bindings,actions,macros,
//                       recording,packages,preferences,support}.cpp
// Lives on the GUI thread only.

#include "app/controller_seams.h"
#include "app/live_input_event.h"
#include "app/live_input_model.h"
#include "app/macro_recorder.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QLocalSocket>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QUrl>
#include <QVariantList>
#include <QVariantMap>

class QQuickItem;

class AppController : public QObject {
    Q_OBJECT

    // Properties in interface order. Those declared MEMBER are written by QML straight into their
    // field: the write notifies only when the value changes and does nothing else.
    Q_PROPERTY(QVariantList models READ models CONSTANT)
    Q_PROPERTY(int selectedIndex READ selectedIndex WRITE setSelectedIndex NOTIFY selectionChanged)
    Q_PROPERTY(QVariantMap selectedModel READ selectedModel NOTIFY selectionChanged)
    Q_PROPERTY(QVariantList inputOptions READ inputOptions NOTIFY optionsChanged)
    Q_PROPERTY(QVariantList outputOptions READ outputOptions NOTIFY optionsChanged)
    Q_PROPERTY(QVariantList actionCategories READ actionCategories NOTIFY optionsChanged)
    Q_PROPERTY(QVariantList customActions READ customActions NOTIFY libraryChanged)
    Q_PROPERTY(QString sourceId READ sourceId WRITE setSourceId NOTIFY mappingChanged)
    Q_PROPERTY(QString targetId READ targetId WRITE setTargetId NOTIFY mappingChanged)
    Q_PROPERTY(QString ruleName READ ruleName WRITE setRuleName NOTIFY mappingChanged)
    Q_PROPERTY(bool connected READ connected NOTIFY stateChanged)
    Q_PROPERTY(bool engineCompatible READ engineCompatible NOTIFY stateChanged)
    Q_PROPERTY(QString engineIssue READ engineIssue NOTIFY stateChanged)
    Q_PROPERTY(bool active READ active NOTIFY stateChanged)
    Q_PROPERTY(bool applying MEMBER m_applying NOTIFY stateChanged)
    Q_PROPERTY(bool armed MEMBER m_armed NOTIFY stateChanged)
    Q_PROPERTY(bool observing READ observing NOTIFY stateChanged)
    Q_PROPERTY(QString status READ status NOTIFY stateChanged)
    Q_PROPERTY(bool foregroundElevated MEMBER m_foregroundElevated NOTIFY stateChanged)
    Q_PROPERTY(QString lastInput READ lastInput NOTIFY liveChanged)
    Q_PROPERTY(QVariantMap live READ live NOTIFY liveChanged)
    Q_PROPERTY(QVariantMap keyboardLabels READ keyboardLabels NOTIFY keyboardLayoutChanged)
    Q_PROPERTY(QString keyboardLayout READ keyboardLayout NOTIFY keyboardLayoutChanged)
    Q_PROPERTY(bool numLock READ numLock NOTIFY keyboardLayoutChanged)
    Q_PROPERTY(bool liveEnabled MEMBER m_liveEnabled NOTIFY stateChanged)
    Q_PROPERTY(QVariantList deviceList READ deviceList NOTIFY stateChanged)
    Q_PROPERTY(int trialSeconds READ trialSeconds NOTIFY stateChanged)
    Q_PROPERTY(bool captureMode READ captureMode WRITE setCaptureMode NOTIFY stateChanged)
    Q_PROPERTY(QString calibrationCandidate READ calibrationCandidate NOTIFY stateChanged)
    Q_PROPERTY(QVariantMap outputCapture READ outputCapture NOTIFY outputCaptureChanged)
    Q_PROPERTY(QVariantList profiles READ profiles NOTIFY libraryChanged)
    Q_PROPERTY(QVariantList layers READ layers NOTIFY libraryChanged)
    Q_PROPERTY(QVariantList rules READ rules NOTIFY libraryChanged)
    Q_PROPERTY(int profileIndex READ profileIndex WRITE setProfileIndex NOTIFY libraryChanged)
    Q_PROPERTY(int layerIndex READ layerIndex WRITE setLayerIndex NOTIFY libraryChanged)
    Q_PROPERTY(bool automatic READ automatic WRITE setAutomatic NOTIFY libraryChanged)
    Q_PROPERTY(bool keepOriginal MEMBER m_keepOriginal NOTIFY mappingChanged)
    Q_PROPERTY(int sourceModifiers READ sourceModifiers WRITE setSourceModifiers NOTIFY mappingChanged)
    Q_PROPERTY(QVariantMap trigger READ trigger NOTIFY mappingChanged)
    Q_PROPERTY(QVariantMap motion READ motion NOTIFY libraryChanged)
    Q_PROPERTY(bool motionInherited READ motionInherited NOTIFY libraryChanged)
    Q_PROPERTY(bool dirty MEMBER m_dirty NOTIFY libraryChanged)
    Q_PROPERTY(QString notice MEMBER m_notice NOTIFY libraryChanged)
    Q_PROPERTY(QString activeDescription MEMBER m_activeDescription NOTIFY stateChanged)
    Q_PROPERTY(QVariantMap diagnostics MEMBER m_diagnostics NOTIFY stateChanged)
    Q_PROPERTY(QVariantMap supportChecks READ supportChecks NOTIFY stateChanged)
    Q_PROPERTY(QString importPreview MEMBER m_importPreview NOTIFY libraryChanged)
    Q_PROPERTY(QString language READ language WRITE setLanguage NOTIFY preferencesChanged)
    Q_PROPERTY(QString theme READ theme WRITE setTheme NOTIFY preferencesChanged)
    Q_PROPERTY(bool windowsHighContrast READ windowsHighContrast NOTIFY preferencesChanged)
    Q_PROPERTY(bool animationsEnabled READ animationsEnabled NOTIFY preferencesChanged)
    Q_PROPERTY(bool mouseLiveExpanded READ mouseLiveExpanded WRITE setMouseLiveExpanded NOTIFY preferencesChanged)
    Q_PROPERTY(bool startup READ startup WRITE setStartup NOTIFY preferencesChanged)
    Q_PROPERTY(bool canUndo READ canUndo NOTIFY libraryChanged)
    Q_PROPERTY(bool canRedo READ canRedo NOTIFY libraryChanged)
    Q_PROPERTY(QVariantList macros READ macros NOTIFY libraryChanged)
    Q_PROPERTY(QVariantList macroSteps READ macroSteps NOTIFY macroChanged)
    Q_PROPERTY(int macroIndex MEMBER m_macroIndex NOTIFY macroChanged)
    Q_PROPERTY(bool recording MEMBER m_recording NOTIFY macroChanged)
    Q_PROPERTY(bool recordKeyboard MEMBER m_recordKeyboard NOTIFY macroChanged)
    Q_PROPERTY(bool recordMouse MEMBER m_recordMouse NOTIFY macroChanged)
    Q_PROPERTY(bool recordWheel MEMBER m_recordWheel NOTIFY macroChanged)
    Q_PROPERTY(bool recordMovement MEMBER m_recordMovement NOTIFY macroChanged)
    Q_PROPERTY(QString macroDuration READ macroDuration NOTIFY macroChanged)
    Q_PROPERTY(QString macroName MEMBER m_macroName NOTIFY macroChanged)
    Q_PROPERTY(QString macroMode MEMBER m_macroMode NOTIFY macroChanged)
    Q_PROPERTY(int macroRepeat MEMBER m_macroRepeat NOTIFY macroChanged)
    // The desktop's own colour scheme, for the theme "system" (Qt 6.4 has no QML API for it).
    Q_PROPERTY(bool systemDark READ systemDark NOTIFY preferencesChanged)
    // The trace's result codes by name (the agent protocol's Result enum), so QML names them.
    Q_PROPERTY(QVariantMap resultCodes READ resultCodes CONSTANT)

public:
    // `interactive` (a normal run) polls the keyboard layout and high contrast, connects to the
    // agent and keeps reconnecting; a check run's controller does none of that.
    AppController(QObject* parent, bool interactive, ControllerSeams seams = ControllerSeams::system());
    ~AppController() override;
    AppController(const AppController&) = delete;
    AppController& operator=(const AppController&) = delete;

    // ---- property reads ----
    QVariantList models() const { return m_models; }
    int selectedIndex() const { return m_selectedIndex; }
    QVariantMap selectedModel() const;
    QVariantList inputOptions() const { return m_inputOptions; }
    QVariantList outputOptions() const { return m_outputOptions; }
    QVariantList actionCategories() const;
    QVariantList customActions() const;
    QString sourceId() const { return m_sourceId; }
    QString targetId() const { return m_targetId; }
    QString ruleName() const { return m_ruleName; }
    bool connected() const;
    bool engineCompatible() const;
    QString engineIssue() const;
    bool active() const { return m_active; }
    bool applying() const { return m_applying; }
    bool armed() const { return m_armed; }
    bool observing() const { return m_observing; }
    QString status() const { return m_status; }
    bool foregroundElevated() const { return m_foregroundElevated; }
    QString lastInput() const { return m_lastInput; }
    QVariantMap live() const { return m_live.state(); }
    static QVariantMap resultCodes();
    QVariantMap keyboardLabels() const { return m_keyboardLabels; }
    QString keyboardLayout() const { return m_keyboardLayout; }
    bool numLock() const { return m_numLock; }
    bool liveEnabled() const { return m_liveEnabled; }
    QVariantList deviceList() const { return m_deviceList; }
    int trialSeconds() const { return m_trialSeconds; }
    bool captureMode() const { return m_captureMode; }
    QString calibrationCandidate() const { return m_calibrationCandidate; }
    QVariantMap outputCapture() const { return m_outputCapture; }
    QVariantList profiles() const;
    QVariantList layers() const;
    QVariantList rules() const;
    int profileIndex() const;
    int layerIndex() const;
    bool automatic() const;
    bool keepOriginal() const { return m_keepOriginal; }
    int sourceModifiers() const { return m_sourceModifiers; }
    QVariantMap trigger() const { return m_trigger.toVariantMap(); }
    QVariantMap motion() const;
    bool motionInherited() const;
    bool dirty() const { return m_dirty; }
    QString notice() const { return m_notice; }
    QString activeDescription() const { return m_activeDescription; }
    QVariantMap diagnostics() const { return m_diagnostics; }
    QVariantMap supportChecks() const;
    QString importPreview() const { return m_importPreview; }
    QString language() const;
    QString theme() const;
    bool windowsHighContrast() const { return m_windowsHighContrast; }
    bool animationsEnabled() const;
    bool mouseLiveExpanded() const;
    bool startup() const;
    bool canUndo() const { return !m_undoStack.isEmpty(); }
    bool canRedo() const { return !m_redoStack.isEmpty(); }
    QVariantList macros() const;
    QVariantList macroSteps() const;
    int macroIndex() const { return m_macroIndex; }
    bool recording() const { return m_recording; }
    QString macroDuration() const;
    QString macroName() const { return m_macroName; }
    QString macroMode() const { return m_macroMode; }
    int macroRepeat() const { return m_macroRepeat; }
    bool systemDark() const { return m_systemDark; }

    // ---- property writes with a setter ----
    void setSelectedIndex(int index);
    void setSourceId(const QString& id);
    void setTargetId(const QString& id);
    void setRuleName(const QString& name);
    void setCaptureMode(bool enabled);
    void setProfileIndex(int index);
    void setLayerIndex(int index);
    void setAutomatic(bool automatic);
    void setSourceModifiers(int modifiers);
    void setLanguage(const QString& language);
    void setTheme(const QString& theme);
    void setMouseLiveExpanded(bool expanded);
    void setStartup(bool enabled);

    // ---- invokables, in interface order ----
    Q_INVOKABLE bool saveAction(int index, const QString& type, const QString& name, const QString& value,
        const QString& arguments, bool clipboard);
    Q_INVOKABLE bool deleteAction(int index);
    Q_INVOKABLE QString localPath(const QUrl& url) const;
    // The window's file picker: the folder it starts in, and what a name typed in a folder
    // stands for ({"url", "path", "usable", "exists", "folder", "folderExists"}).
    Q_INVOKABLE QUrl documentsFolder() const;
    Q_INVOKABLE QVariantMap pickFile(const QUrl& folder, const QString& name, const QString& suffix) const;
    // Called by a popup as it opens (its content item): see app/popup_layouts.h.
    Q_INVOKABLE void rearrangePopup(QQuickItem* contentItem) const;
    Q_INVOKABLE void toggleFavorite(const QString& id);
    Q_INVOKABLE bool favorite(const QString& id) const;
    Q_INVOKABLE void setLivePage(bool visible);
    Q_INVOKABLE void setLiveEnabled(bool enabled);
    Q_INVOKABLE void setLiveHistory(bool enabled);
    Q_INVOKABLE void clearLive();
    Q_INVOKABLE void beginOutputCapture();
    Q_INVOKABLE void cancelOutputCapture();
    Q_INVOKABLE bool useOutputCapture();
    Q_INVOKABLE void applyMapping();
    Q_INVOKABLE void pause();
    Q_INVOKABLE void setObservation(bool value);
    Q_INVOKABLE void confirmTrial();
    Q_INVOKABLE void saveSelection();
    Q_INVOKABLE void openWebsite();
    Q_INVOKABLE QString supportReport(const QString& resolved_theme, double display_scale);
    Q_INVOKABLE void copySupportReport(const QString& resolved_theme, double display_scale);
    Q_INVOKABLE void openSupport();
    Q_INVOKABLE void openThirdPartyNotices();
    Q_INVOKABLE void shutdownAgent();
    Q_INVOKABLE QString imageUrl(const QString& relative) const;
    Q_INVOKABLE QString describeInput(const QString& id) const;
    Q_INVOKABLE void addProfile(const QString& name, bool duplicate = false);
    Q_INVOKABLE void addGamePreset(const QString& kind);
    Q_INVOKABLE void updateProfile(const QString& name, const QString& application, int priority);
    Q_INVOKABLE void deleteProfile();
    Q_INVOKABLE void renameLayer(const QString& name);
    Q_INVOKABLE bool saveRule();
    Q_INVOKABLE bool renameRule(const QString& identity, const QString& name);
    Q_INVOKABLE bool configureTrigger(const QString& kind, int interval, const QString& fallback, const QStringList& keys);
    Q_INVOKABLE bool saveMotion(const QVariantMap& settings, bool inherit = false);
    Q_INVOKABLE void removeRule(const QString& source);
    Q_INVOKABLE void selectRule(const QString& source);
    Q_INVOKABLE void applyProfile();
    Q_INVOKABLE void undo();
    Q_INVOKABLE void redo();
    Q_INVOKABLE void exportProfiles(const QUrl& path, const QString& scope = QStringLiteral("collection"));
    Q_INVOKABLE void previewImport(const QUrl& path);
    Q_INVOKABLE void acceptImport();
    Q_INVOKABLE void restoreBackup();
    Q_INVOKABLE void calibrateHotspot(const QString& hotspot);
    Q_INVOKABLE void confirmHotspot();
    Q_INVOKABLE void clearHotspot(const QString& hotspot);
    Q_INVOKABLE void swapSideHotspots();
    Q_INVOKABLE QString hotspotInput(const QString& hotspot, const QString& fallback) const;
    Q_INVOKABLE void useApplicationFile(const QUrl& path);
    Q_INVOKABLE QVariantList runningApplications() const;
    Q_INVOKABLE void updateWindowCondition(const QString& mode, const QString& title, const QString& windowClass);
    Q_INVOKABLE int recordingSeconds() const;
    Q_INVOKABLE void editMacro(int index);
    // A step's value in the interface language, as macroSteps gives it in each step's "label".
    Q_INVOKABLE QString macroStepLabel(const QString& type, const QString& input) const;
    Q_INVOKABLE void addMacroStep(const QString& type, const QString& input, int milliseconds);
    Q_INVOKABLE void removeMacroStep(int index);
    Q_INVOKABLE void moveMacroStep(int index, int direction);
    Q_INVOKABLE void duplicateMacroStep(int index);
    Q_INVOKABLE void saveMacro();
    Q_INVOKABLE void deleteMacro();
    Q_INVOKABLE void updateMacroStep(int index, const QString& type, const QString& input, int milliseconds);
    Q_INVOKABLE void startRecording();
    Q_INVOKABLE void setRecordingControl(double x, double y, double width, double height);
    Q_INVOKABLE void stopRecording();

    // ---- members for the entry point, the check modes and the other parts ----
    // The native handle of the settings window, set by the entry point once the window exists.
    void setSettingsWindow(quintptr handle) { m_settingsWindow = handle; }
    quintptr settingsWindow() const { return m_settingsWindow; }

    // Library state (library part file).
    void loadLibrary();
    bool commitLibrary(const QJsonObject& next, bool apply);
    QString documentHash() const;
    void autoApply();
    void syncSelectedModel();
    const QJsonObject& library() const { return m_library; }

    // Library helpers.
    static QJsonObject stripRuleNames(const QJsonObject& library);
    static bool triggerSlotReference(QJsonObject& rule, const QString& prefix, int slot);
    static void setLayerRules(QJsonObject& library, int profileIndex, int layerIndex, const QJsonArray& rules);

    // Agent link (agent-link part file).
    void connectAgent();
    void sendCommand(QJsonObject command);
    void sendObserve();

    // Rule editor, options, keyboard layout, macros and capture (their part files).
    void refreshRuleSelection();
    void buildOptionTables();
    QVariantMap outputOption(const QString& id);
    void updateKeyboardLayout();
    void reloadMacroEditor(const QJsonArray& previousMacros);
    void handleKeyCapture(const QJsonObject& message);
    void handleTrace(const QJsonObject& message);
    void handleInputEvent(const QJsonObject& message);
    bool hotspotBinding(const QString& hotspot, const QString& input) const;

    // Reads the high-contrast state (and the colour scheme) and notifies on a change.
    void pollHighContrast();

signals:
    void selectionChanged();
    void optionsChanged();
    void mappingChanged();
    void stateChanged();
    void liveChanged();
    void keyboardLayoutChanged();
    void inputSeen(const QString& id, bool down);
    void libraryChanged();
    void preferencesChanged();
    void macroChanged();
    void outputCaptureChanged();

private slots:
    void onStatusTimeout();
    void onLiveCoalesced();
    void onLiveModelChanged();
    void onReconnectTick();
    void onAgentConnected();
    void onAgentDisconnected();
    void onAgentReadyRead();
    void onCaptureTimeout();
    void onCaptureReplyTimeout(quint64 request);
    // The recording's 30-second limit (recording part file).
    void onRecordingTimeout();

private:
    bool englishText() const { return language() == QLatin1String("en"); }
    QString text(const char* russian, const char* english) const;
    QString newMacroName() const;
    // handleInputEvent without the description of `lastInput`, which a trace message's
    // handling writes once for its last physical event instead of once per event.
    void feedInput(const LiveInputEvent& input, bool describe);
    // Applies what one event did to the recording: the working copy follows it, and it may end.
    void applyRecorded(MacroRecorder::Fed fed);
    MacroRecorder::Kinds recordedKinds() const { return {m_recordKeyboard, m_recordMouse, m_recordWheel, m_recordMovement}; }
    // One "state" message from the agent (agent-link part file).
    void handleAgentState(const QJsonObject& message);
    // Undo and redo: moves the last document of `from` into the library, the library onto `to`.
    void stepHistory(QList<QJsonObject>& from, QList<QJsonObject>& to);
    // Every change of the document drops the import awaiting acceptance.
    void discardPendingImport();

    // The seams come first so that every later member can use them during construction.
    ControllerSeams m_seams;

    // Fields in the order the members of every part share them. Names that the QML interface
    // or the other parts spell out (liveCoalesceTimer, calibrationHotspot, the recording feed's
    // sums and clocks) keep that spelling.
    QVariantMap m_outputCapture;
    quint64 m_captureRequestCounter = 0;
    QVariantMap m_keyboardLabels;
    QString m_keyboardLayout;
    bool m_numLock = false;
    QTimer m_layoutTimer;
    QTimer liveCoalesceTimer;
    QTimer m_noticeTimer;
    bool m_windowsHighContrast = false;
    LiveInputModel m_live{this, [this] { return m_seams.monotonicMs(); }};
    bool m_liveEnabled = true;
    bool m_livePage = false;
    bool m_observationWanted = false;
    bool m_observeSent = false;
    bool m_observeHeldBack = false;
    QLocalSocket m_agentSocket;
    QTimer m_reconnectTimer;
    // Start of the press capture on the seams' clock in milliseconds; -1 while not running.
    qint64 m_captureClock = -1;
    QVariantList m_models;
    QVariantList m_inputOptions;
    QVariantList m_outputOptions;
    QVariantList m_deviceList;
    int m_selectedIndex = 2;
    int m_trialSeconds = 0;
    QString m_sourceId = QStringLiteral("mouse_back");
    QString m_targetId = QStringLiteral("key_27");
    QString m_ruleName;
    QString m_status = QStringLiteral("Подключение к движку…");
    QString m_lastInput;
    QString m_loadProblem;
    bool m_active = false;
    bool m_observing = false;
    bool m_captureMode = false;
    bool m_startTried = false;
    QJsonObject m_library;
    QJsonObject m_pendingImport;
    QJsonObject m_trigger;
    QList<QJsonObject> m_undoStack;
    QList<QJsonObject> m_redoStack;
    QVariantMap m_diagnostics;
    QString m_notice;
    QString m_activeDescription;
    QString m_importPreview;
    QString calibrationHotspot;
    QString m_calibrationCandidate;
    bool m_keepOriginal = false;
    bool m_dirty = false;
    bool m_armed = false;
    bool m_foregroundElevated = false;
    bool m_applying = false;
    bool m_autoApplySuspended = false;
    QString m_pendingDocumentHash;
    QString m_lastSentHash;
    QJsonObject m_lastSentStrippedLibrary;
    int m_agentVersion = 0;
    int m_sourceModifiers = 0;
    QJsonArray m_macroSteps;
    int m_macroIndex = -1;
    // A new working copy opened by editMacro carries the given name of the language of that
    // moment; the very first one is Russian whatever the language, and keeps its name.
    bool m_macroNameGiven = false;
    int m_macroRepeat = 1;
    QString m_macroName = QStringLiteral("Новый макрос");
    QString m_macroMode = QStringLiteral("once");
    bool m_recording = false;
    bool m_recordKeyboard = true;
    bool m_recordMouse = true;
    bool m_recordWheel = true;
    bool m_recordMovement = false;
    // The running recording's own state; started on the seams' clock.
    MacroRecorder m_recorder;
    quintptr m_settingsWindow = 0;
    // Ends the running recording when the agent link drops.
    QMetaObject::Connection m_recordingAgentWatch;

    // Not shared with other parts: the desktop's colour scheme for the theme "system".
    bool m_systemDark = false;
    bool m_interactive = false;
};
