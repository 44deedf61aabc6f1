// OnaGUI: the analyzer file and project lifecycle (open, save, close,
// reload check, window settings).

#include "shell/onagui.h"

#include "kit/tclcommand.h"
#include "shell/rightview.h"

#include "onadata.h"
#include "onajtag.h"
#include "pcsdata.h"
#include "pcsjtag.h"

#include "basgui/dialogseam.h"
#include "project/vemoprojectmanager.h"
#include "settings/baseusrsettings.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QMetaMethod>
#include <QStatusBar>
#include <QThread>
#include <QTimer>

namespace vemo::toolona {

namespace {

OnaData* engine() { return OnaData::inst(); }

QString sameFileKey(const QString& path) {
    return path.isEmpty() ? QString() : QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

const char kSaveQuestion[] = "Do you want to save your changes?";

} // namespace

// ------------------------------------------------------------- dirty state

void OnaGUI::showModified(bool modified) {
    m_modified = modified;
    emit fileChanged(modified);
    if (m_standalone || !isAttached())
        setWindowTitle(fullTitle());
    emit sigTitleChange(this);
}

void OnaGUI::SetDirtyBit() { showModified(true); }

void OnaGUI::ResetDirtyBit() { showModified(false); }

bool OnaGUI::isOnlModified() const { return engine()->checkONLTimeStamp() != m_onlStamp; }

void OnaGUI::NewFile() { m_modified = false; }

// ----------------------------------------------------------------- loading

int OnaGUI::LoadFile(const QString& startupCommand) { return loadFile(startupCommand, false); }

int OnaGUI::loadFile(const QString& startupCommand, bool forceOpen) {
    OnaData* data = engine();
    const bool engineHasIt = !m_fileName.isEmpty() && sameFileKey(m_fileName) == sameFileKey(data->getCurrentProject());
    // A new project the engine holds may not be on disk yet. Only the
    // file's kind is checked here: opening a pipe to test it would block.
    const QFileInfo onDisk(m_fileName);
    if (!(engineHasIt && !forceOpen) && !(onDisk.isFile() && onDisk.isReadable())) {
        showerrormsg(QStringLiteral("ERROR: Cannot open Analyzer file ") + m_fileName, this);
        return 0;
    }
    m_lastLoaded = m_fileName;
    const QFileInfo fi(m_fileName);
    if (m_standalone && m_interp)
        callInterp(tclCommand(QStringLiteral("cd \"%1\""), tclQuoted(fi.absolutePath())));
    if (!engineHasIt || forceOpen) {
        if (!tclEval(tclCommand(QStringLiteral("ona_open_project \"%1\""), tclQuoted(m_fileName))))
            return 0;
    } else if (startupCommand.isEmpty()) {
        onProjectOpened(m_fileName);
    }
    return 1;
}

void OnaGUI::onProjectOpened(const QString& fileName) {
    OnaData* data = engine();
    // Whatever closed the previous project (a disabled window, a shutdown
    // of the pages) does not carry over to this one.
    setEnabled(true);
    if (m_preClosed) {
        m_preClosed = false;
        connectEngineSignals();
    }
    // The engine's project is the file: a project opened from the console
    // must never be saved under the previous name.
    if (!fileName.isEmpty())
        m_fileName = QFileInfo(fileName).absoluteFilePath();

    // 1. Pages and core widgets.
    resetCoreWidget();
    updateRightViewDisplay();
    m_runAction->setEnabled(false);
    for (int i = 0; i < data->getNumCore(); ++i) {
        const QString name = data->getCoreName(i);
        auto* box = new QCheckBox(name, this);
        box->setChecked(data->isRunCore(i));
        if (data->hasInsertCore(i)) {
            const QString tip = tr("Include trigger condition from %1").arg(name);
            box->setWhatsThis(tip);
            box->setStatusTip(tip);
            connect(box, &QCheckBox::stateChanged, this, &OnaGUI::checkRun);
        } else {
            box->setEnabled(false);
        }
        if (data->isRunCore(i))
            m_runAction->setEnabled(true);
        m_coreBoxes.append(box);
        addWidgetOnSpecialToolBar(box);
    }
    if (data->getNumCore() > 1) {
        m_coreSelector = new QComboBox(this);
        m_coreSelector->setObjectName(QStringLiteral("CoreSelector"));
        for (int i = 0; i < data->getNumCore(); ++i)
            m_coreSelector->addItem(data->getCoreName(i));
        m_coreSelector->setCurrentIndex(qMax(0, data->getCurrentCore()));
        connect(m_coreSelector, &QComboBox::currentIndexChanged, this, &OnaGUI::setOnlCore);
        addWidgetOnSpecialToolBar(m_coreSelector);
    }

    // 2, 3. Clean state of the freshly opened file.
    ResetDirtyBit();
    const QFileInfo fi(m_fileName);
    m_fileTime = fi.exists() ? fi.lastModified() : QDateTime();
    m_untitled = false;
    m_onlStamp = data->checkONLTimeStamp();

    // 4. SERDES pages while the project has a SERDES.
    const bool serdes = !PCSData::inst()->getJTAG()->getSERDES().isEmpty();
    m_rightView->setSerdesPages(serdes);
    if (serdes)
        m_rightView->tabWidget()->setCurrentIndex(2);

    // 5, 6.
    refreshViews();
    m_actions.value(ExportAction)->setEnabled(waveformHasData());
    ResetDirtyBit();
    GetWinSettings();

    // 7. Power-on-reset start.
    bool anyPor = false;
    QStringList others;
    for (int i = 0; i < data->getNumCore(); ++i) {
        if (data->isPORCore(i) && data->getConnectPORCore(i))
            anyPor = true;
        else
            others << data->getCoreName(i);
    }
    // Only this project's cores, and only those this run switches off: a
    // core the user had already turned off stays off afterwards.
    m_porCores.clear();
    if (anyPor) {
        for (const QString& name : std::as_const(others)) {
            const int id = data->getCoreId(name);
            if (id < 0 || !data->isRunCore(id))
                continue;
            if (tclEval(tclCommand(QStringLiteral("ona_set_core -name \"%1\" -run off"), tclQuoted(name))))
                m_porCores << name;
        }
        runAnalyzer();
        // Refused before it started: no end of run will switch them back.
        if (!data->isBusy())
            restorePorCores();
    }

    // 8, 9.
    m_initSerdes = usrSettings()->value(QStringLiteral("initserdes"), 1).toInt();
    if (serdes && m_initSerdes != 0) {
        PCSData::inst()->initSERDES();
    } else if (!m_standalone) {
        VemoImplementation* impl = VemoProjectManager::getProjectManager().getDefaultImplementation();
        const QByteArray latin1 = m_fileName.toLatin1();
        if (VemoResource* res = impl ? impl->getResource(latin1) : nullptr) {
            const QList<VemoAssociation> assoc = res->associated();
            if (!assoc.isEmpty() && !assoc.constFirst().state)
                setEnabled(false);
        }
    }
}

// ------------------------------------------------------------------ saving

QString OnaGUI::saveDialog() {
    QString dir;
    if (!m_fileName.isEmpty() && !(m_untitled && m_fileName == QLatin1String("Untitled")))
        dir = m_fileName;
    else if (!m_lastLoaded.isEmpty() && QFileInfo(m_lastLoaded).absoluteDir().exists())
        dir = QFileInfo(m_lastLoaded).absolutePath();
    else
        dir = QStringLiteral(".");
    return vemo::basgui::Dialogs::provider()->getSaveFileName(
        this, QStringLiteral("Save Ondrel Analyzer File"), dir,
        QStringLiteral("Ondrel Analyzer File (*.ona);;All Files (*)"));
}

QString OnaGUI::chooseSaveName() {
    const QString chosen = saveDialog();
    if (chosen.isEmpty() || QFileInfo(chosen).isDir())
        return QString();
    // Without its suffix the file would not show up in File > Open.
    const QFileInfo fi(chosen);
    return fi.suffix().isEmpty() ? fi.absoluteFilePath() + QStringLiteral(".ona") : fi.absoluteFilePath();
}

bool OnaGUI::needsSaveName() const {
    if (m_fileName == QLatin1String("Untitled"))
        return m_untitled;
    // A proposed name that is already taken belongs to someone else's file.
    return (m_untitled || engine()->isNeverSaved()) && QFileInfo::exists(m_fileName);
}

bool OnaGUI::saveUnder(const QString& path) {
    const QString previous = m_fileName;
    m_fileName = path;
    if (tclEval(tclCommand(QStringLiteral("ona_save_project \"%1\""), tclQuoted(path))))
        return true;
    m_fileName = previous;
    return false;
}

bool OnaGUI::SaveFile() {
    if (!needsSaveName())
        return saveUnder(m_fileName);
    const QString chosen = chooseSaveName();
    if (chosen.isEmpty())
        return false;
    if (!saveUnder(chosen))
        return false;
    setWindowTitle(fullTitle());
    return true;
}

bool OnaGUI::fileSaveAs() {
    const QString chosen = chooseSaveName();
    if (chosen.isEmpty() || !saveUnder(chosen))
        return false;
    setWindowTitle(fullTitle());
    return true;
}

bool OnaGUI::onSave() { return m_fileName.isEmpty() ? fileSaveAs() : SaveFile(); }

void OnaGUI::onAutoSave() {
    // A timer never opens a dialog: a project without a name of its own waits.
    if (needsSaveName())
        return;
    statusBar()->showMessage(tr("Auto saving..."), 5000);
    SaveFile();
}

void OnaGUI::onProjectSaved(const QString& fileName) {
    ResetDirtyBit();
    m_untitled = false;
    m_fileTime = QFileInfo(m_fileName).lastModified();
    emit sigFileSaved(fileName);
    m_reloadStatus = ReloadNone;
}

bool OnaGUI::saveForUser() {
    m_lastResult.clear();
    if (onSave())
        return true;
    // A cancelled file dialog is the user's own choice; anything else is a
    // failure worth explaining.
    if (!m_lastResult.isEmpty())
        showerrormsg(tr("The analyzer file was not saved: %1").arg(m_lastResult), this);
    return false;
}

bool OnaGUI::maybeSave() {
    if (m_fileName.isEmpty() || !m_modified)
        return true;
    if (showconfirmmsg(QLatin1String(kSaveQuestion), this, false) == QMessageBox::Yes) {
        if (!saveForUser()) {
            // The user wanted the edits kept: the window stays open.
            showwarnmsg(tr("Your changes were not saved, so the window stays open."), this);
            return false;
        }
        return true;
    }
    ResetDirtyBit();
    return true;
}

bool OnaGUI::confirmProjectClose(QString* error) {
    // The window's own close has already asked and reset the modified flag;
    // a close from the console comes here while the project can still be saved.
    if (m_fileName.isEmpty() || !m_modified)
        return true;
    if (m_unattended) {
        *error =
            tr("ona_close_project: the project has unsaved changes; save them with ona_save_project "
               "before closing it");
        return false;
    }
    if (!maybeSave()) {
        *error = tr("ona_close_project: the changes were not saved, so the project stays open");
        return false;
    }
    return true;
}

bool OnaGUI::offerSave() {
    if (!m_modified)
        return true;
    const auto answer = showconfirmmsg(QLatin1String(kSaveQuestion), this, true);
    return answer != QMessageBox::Cancel && (answer != QMessageBox::Yes || saveForUser());
}

void OnaGUI::askApplication(void (OnaGUI::*signal)(), void (OnaGUI::*standalone)()) {
    if (m_standalone && !isSignalConnected(QMetaMethod::fromSignal(signal)))
        (this->*standalone)();
    else
        emit(this->*signal)();
}

void OnaGUI::fileNew() {
    if (!m_fileName.isEmpty() && !offerSave())
        return;
    askApplication(&OnaGUI::sigNewFile, &OnaGUI::newFileStandalone);
}

void OnaGUI::fileOpen() {
    if (!m_fileName.isEmpty() && !offerSave())
        return;
    // The modified flag and the models stay until a new file is open: the
    // application may still cancel its open dialog.
    askApplication(&OnaGUI::sigOpenFile, &OnaGUI::openFileStandalone);
}

void OnaGUI::fileClose() {
    // Stand-alone with nothing open, Close simply closes the window.
    if (m_standalone && m_fileName.isEmpty()) {
        close();
        return;
    }
    closeAsked();
}

bool OnaGUI::closeAsked() {
    if (!offerSave())
        return false;
    CloseFile();
    return true;
}

QString OnaGUI::askOpenFile(const QString& last, const QString& caption, const QString& filter) {
    const QString start = last.isEmpty() ? QStringLiteral(".") : QFileInfo(last).absolutePath();
    return vemo::basgui::Dialogs::provider()->getOpenFileName(this, caption, start, filter);
}

void OnaGUI::newFileStandalone() {
    const QString onl = askOpenFile(m_lastLoaded, tr("New Analyzer File from Debug Logic"),
                                    tr("Debug Logic File (*.onl);;All Files (*)"));
    if (onl.isEmpty())
        return;
    const QFileInfo fi(onl);
    // The engine names the new project after the debug-logic file.
    QString ona = fi.absoluteDir().absoluteFilePath(fi.completeBaseName() + QStringLiteral(".ona"));
    m_lastResult.clear();
    if (!doNewFile(ona, tclCommand(QStringLiteral("ona_open_project \"%1\""), tclQuoted(fi.absoluteFilePath()))) &&
        !m_lastResult.isEmpty())
        showerrormsg(tr("Cannot start a new analyzer file from %1: %2").arg(fi.absoluteFilePath(), m_lastResult), this);
}

void OnaGUI::openFileStandalone() {
    QString chosen = askOpenFile(m_lastLoaded, tr("Open Ondrel Analyzer File"),
                                 QStringLiteral("Ondrel Analyzer File (*.ona);;All Files (*)"));
    if (chosen.isEmpty())
        return;
    m_lastResult.clear();
    if (!doOpenFile(chosen, QString()) && !m_lastResult.isEmpty())
        showerrormsg(tr("Cannot open %1: %2").arg(chosen, m_lastResult), this);
}

// ------------------------------------------------ embedding application

bool OnaGUI::doNewFile(QString& fileName, QString command) {
    OnaData* data = engine();
    const QString previousName = m_fileName;
    const bool previousUntitled = m_untitled;
    m_fileName = fileName;
    data->ready = false;
    bool ok = tclEval(command) && LoadFile(command) == 1;
    if (ok) {
        data->ready = true;
        SetDirtyBit();
        m_untitled = true;
        setWindowTitle(fullTitle());
        onActivated();
        refreshViews();
    } else {
        m_fileName = previousName;
        m_untitled = previousUntitled;
        setWindowTitle(fullTitle());
    }
    data->ready = true;
    return ok;
}

bool OnaGUI::doOpenFile(QString& fileName, QString command) {
    OnaData* data = engine();
    const QString previousName = m_fileName;
    const QDateTime previousTime = m_fileTime;
    const bool previousUntitled = m_untitled;
    const bool previousModified = m_modified;
    const QString previousProject = data->getCurrentProject();

    m_fileName = QFileInfo(fileName).absoluteFilePath();
    m_fileTime = QFileInfo(m_fileName).lastModified();
    data->ready = false;
    bool ok = true;
    if (!command.isEmpty())
        ok = tclEval(command);
    if (ok)
        ok = LoadFile(command) == 1;
    if (!ok) {
        if (!previousProject.isEmpty() && data->getCurrentProject() == previousProject &&
            sameFileKey(previousProject) == sameFileKey(previousName)) {
            // The engine kept the previous project open: so does the window,
            // edits and all.
            m_fileName = previousName;
            m_fileTime = previousTime;
            m_untitled = previousUntitled;
            data->ready = true;
            if (previousModified)
                SetDirtyBit();
            else
                ResetDirtyBit();
            return false;
        }
        m_fileName.clear();
        clearModelPointers();
        resetCoreWidget();
    }
    data->ready = true;
    ResetDirtyBit();
    setWindowTitle(fullTitle());
    onActivated();
    refreshViews();
    evaluateZoom();
    return ok;
}

void OnaGUI::importFileToImplementation(QString file) {
    emit sigChangeRequest(vemo::basgui::AddFileToImplementation, {file});
}

// ----------------------------------------------------------------- closing

void OnaGUI::CloseFile() {
    OnaData* data = engine();
    m_fileName.clear();
    ResetDirtyBit();
    if (data->isBusy() && m_jtag)
        m_jtag->shutdownLA();
    m_rightView->projectClosing();
    // The project's models go with it.
    clearModelPointers();
    m_rightView->attachModels(nullptr, nullptr, nullptr, nullptr);
    SaveWinSettings();
    data->ready = false;
    tclEval(QStringLiteral("ona_close_project"));
    resetCoreWidget();
}

void OnaGUI::onProjectClosed() {
    if (m_reloadCheck)
        return;
    preCloseGUI();
    onClose(false);
}

void OnaGUI::onFileNameChanged(const QString& name) {
    if (!name.isEmpty())
        m_fileName = name == QLatin1String("Untitled") ? name : QFileInfo(name).absoluteFilePath();
    setWindowTitle(fullTitle());
    emit sigTitleChange(this);
}

void OnaGUI::preCloseGUI() {
    // Runs from onProjectClosed and again from the destructor: once is enough.
    if (m_preClosed)
        return;
    m_preClosed = true;
    OnaData* data = engine();
    tclEval(QStringLiteral("ona_close_controller"));
    if (data->isBusy() && m_jtag)
        m_jtag->shutdownLA();
    if (m_rightView) {
        m_rightView->projectClosing();
        m_rightView->closeControllerTabs();
    }
    SaveWinSettings();
    data->ready = false;
    disconnectEngineSignals();
}

// ------------------------------------------------------------ reload check

QString OnaGUI::onlReloadText() const {
    static const QString head = QStringLiteral("Debug Logic files have been modified, ");
    if (m_standalone) {
        return head + QStringLiteral(
                          "which may be inconsistent with the current analyzing project. you can choose:\n1) Yes: "
                          "Reload it right now, make sure the bitstream file has been regenerated and downloaded "
                          "into the board before tracing.\n2) Ignore once: Ignore the potential risk and notice me "
                          "next time.\n3) Never: Don't notice me untill I do the save action.\n");
    }
    VemoImplementation* impl = VemoProjectManager::getProjectManager().getDefaultImplementation();
    const int status =
        impl ? impl->getCheckedTaskStatus(QStringLiteral("Export"), QStringLiteral("Bitgen"), m_onlStamp, true, true)
             : 0;
    if (status == 2) {
        return head + QStringLiteral(
                          "but the bitstream file is not updated, which may be inconsistent with current Analyzer "
                          "project, and you can choose:\n1) Yes: Reload it right now, make sure the bitstream file "
                          "has been regenerated and downloaded into the board before tracing.\n2) Ignore once: "
                          "Ignore the potential risk and remind me next time.\n3) Never: Don't remind me until I do "
                          "the save action.\n");
    }
    if (status == 0 || status == 1 || status == 3) {
        if (m_reloadStatus == ReloadIgnoreOnce) {
            return head + QStringLiteral(
                              "and the bitstream file is updated, and you can choose:\n1) Yes: Reload it right now, "
                              "make sure the bitstream file has been regenerated and downloaded into the board before "
                              "tracing.\n2) Ignore once: Ignore the potential risk and remind me next time.\n3) Never: "
                              "Don't remind me until I do the save action.\n");
        }
        return head + QStringLiteral(
                          "which may be inconsistent with current Analyzer project, and you can choose:\n1) Yes: "
                          "Reload it right now, make sure the bitstream file has been regenerated and downloaded "
                          "into the board before tracing.\n2) Ignore once: Ignore the potential risk and remind me "
                          "next time.\n3) Never: Don't remind me untill I do the save action.\n");
    }
    return QString();
}

void OnaGUI::onActivated() {
    if (!m_fileName.isEmpty() && !m_untitled && !m_reloadCheck) {
        m_reloadCheck = true;
        const QFileInfo fi(m_fileName);
        const QDateTime onDisk = fi.exists() ? fi.lastModified() : QDateTime();
        if (onDisk.isValid() && onDisk != m_fileTime) {
            // Asked once per outside change, whatever the answer.
            m_fileTime = onDisk;
            const auto answer = showconfirmmsg(
                QStringLiteral("The file was modified by another program. Do you want to reload it?"), this, true);
            if (answer == QMessageBox::Yes)
                Reload();
            else
                SetDirtyBit();
        } else if (isOnlModified() && m_reloadStatus != ReloadNever) {
            const QString text = onlReloadText();
            if (!text.isEmpty() && showONLMsg(text, this) == ReloadNow)
                reloadAfterOnlChange();
        }
        m_reloadCheck = false;
        const QFileInfo now(m_fileName);
        m_readOnlyFile = now.exists() && !now.isWritable();
    }
    emit fileChanged(m_modified);
    emit alwaysAvailable(true);
    BasGUITool::onActivated();
}

void OnaGUI::Reload() {
    m_modified = false;
    // The engine must read the file again, even though it is its project.
    m_lastResult.clear();
    if (loadFile(QString(), true) == 1)
        return;
    // The engine kept the project it had, which no longer matches the file.
    if (!m_lastResult.isEmpty())
        showerrormsg(tr("The analyzer file could not be reloaded: %1").arg(m_lastResult), this);
    SetDirtyBit();
}

bool OnaGUI::endCapture() {
    OnaData* data = engine();
    if (!data->isBusy())
        return true;
    stopAnalyzer();
    QThread* thread = m_acqThread;
    // Wait with the event loop running: the thread reports through queued
    // signals, and a capture waiting for its trigger must not freeze the GUI.
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QTimer poll;
    connect(&poll, &QTimer::timeout, &loop, [&] {
        if ((!thread || !thread->isRunning()) && !data->isBusy())
            loop.quit();
        else if (clock.elapsed() > 10000) {
            if (m_jtag)
                m_jtag->shutdownLA();
            if (clock.elapsed() > 15000)
                loop.quit();
        }
    });
    poll.start(20);
    loop.exec();
    return !data->isBusy();
}

void OnaGUI::reloadAfterOnlChange() {
    if (!endCapture()) {
        showerrormsg(tr("The running capture did not end; the project was not reloaded."), this);
        return;
    }
    QString previous = m_fileName;
    if (!closeAsked())
        return;
    doOpenFile(previous, m_startupCommand);
}

// --------------------------------------------------------- window settings

void OnaGUI::GetWinSettings() {
    vemo::basgui::BaseUsrSettings* s = usrSettings();
    const int x = s->value(QStringLiteral("winx"), 170).toInt();
    const int y = s->value(QStringLiteral("winy"), 80).toInt();
    const int w = s->value(QStringLiteral("winwidth"), 900).toInt();
    const int h = s->value(QStringLiteral("winheight"), 700).toInt();
    const int state = s->value(QStringLiteral("winstate"), 0).toInt();
    setWindowState(Qt::WindowStates(state));
    if (state == 0) {
        if (isWindow()) {
            resize(w, h);
            move(x, y);
        }
        setPositionAndSize(QPoint(x, y), QSize(w, h));
    }
}

void OnaGUI::SaveWinSettings() {
    vemo::basgui::BaseUsrSettings* s = usrSettings();
    OnaData* data = engine();
    s->setValue(QStringLiteral("winx"), x());
    s->setValue(QStringLiteral("winy"), y());
    s->setValue(QStringLiteral("winwidth"), width());
    s->setValue(QStringLiteral("winheight"), height());
    s->setValue(QStringLiteral("winstate"), int(windowState()));
    s->setValue(QStringLiteral("lastfilepath"), data->getCurrentDirectory());
    s->setValue(QStringLiteral("lastimplpath"), data->getImplDirectory());
    s->setValue(QStringLiteral("initserdes"), m_initSerdes);
    if (m_standalone)
        s->sync();
}

void OnaGUI::setInitSerdesPreference(int value) {
    m_initSerdes = value;
    usrSettings()->setValue(QStringLiteral("initserdes"), m_initSerdes);
    usrSettings()->sync();
}

void OnaGUI::delayReloadMsgBoxTimeout() {}

} // namespace vemo::toolona
