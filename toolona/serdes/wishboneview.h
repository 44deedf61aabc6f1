#pragma once

#include <QFrame>

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace vemo::toolona {

class TargetNotice;

// The "Wishbone Debug" page: single bytes of the DCU registers read and
// written over the Wishbone bus, continuous reading, and Tcl files of SERDES
// commands. Every action is one engine command (tclPCS); read results come
// back as "read_data" reports. Shown only while the project describes a
// SERDES.
class WishboneView : public QFrame {
    Q_OBJECT
public:
    explicit WishboneView(QWidget* parent = nullptr);

    QLineEdit* baseAddressEdit() const { return m_base; }
    QLineEdit* addressEdit() const { return m_address; }
    QLineEdit* dataEdit() const { return m_data; }
    QPushButton* writeButton() const { return m_write; }
    QPushButton* readButton() const { return m_read; }
    QCheckBox* continuousBox() const { return m_continuous; }
    QPushButton* loadButton() const { return m_load; }
    QPushButton* stopButton() const { return m_stop; }

signals:
    // One complete engine command (the read and write ones span lines).
    void tclPCS(QString cmd);

public slots:
    void doWrite();
    void doRead();
    void doContinuousRead(bool on);
    void doLoad();
    void doSettingChanged(QString key);
    void doSettingRead(QString key);

private:
    // False, after saying so, when a field the access needs is empty.
    bool filled(QLineEdit* edit, const QString& what);

    QLineEdit* m_base = nullptr;
    QLineEdit* m_address = nullptr;
    QLineEdit* m_data = nullptr;
    QPushButton* m_write = nullptr;
    QPushButton* m_read = nullptr;
    QCheckBox* m_continuous = nullptr;
    QPushButton* m_load = nullptr;
    QPushButton* m_stop = nullptr; // ends a running script file
    TargetNotice* m_notice = nullptr;
};

} // namespace vemo::toolona
