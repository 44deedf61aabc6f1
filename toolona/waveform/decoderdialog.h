#pragma once

// "Add Decoder": a protocol decoder of the library for the current core,
// its channels mapped to capture signals or bus bits, or stacked on a
// decoder of the core, with its options. OK sends one "ona_add_decoder"
// through the gateway; a refusal stays in the dialog, in red.

#include "decoderset.h"

#include <QDialog>
#include <QHash>
#include <QPointer>

class QComboBox;
class QFormLayout;
class QLabel;
class QLineEdit;
class WaveformModel;

namespace vemo::toolona {

class ToolGateway;

class DecoderDialog : public QDialog {
    Q_OBJECT
public:
    DecoderDialog(ToolGateway* gateway, DecoderSet* decoders, WaveformModel* model, QWidget* parent = nullptr);

    QComboBox* decoderBox() const { return m_decoder; }
    QComboBox* stackBox() const { return m_stack; }
    QLineEdit* nameEdit() const { return m_name; }
    // The editors of the decoder shown, by channel id and option id.
    QComboBox* channelBox(const QString& id) const { return m_channels.value(id); }
    QWidget* optionEditor(const QString& id) const { return m_options.value(id); }
    QLabel* errorLabel() const { return m_error; }
    // The command OK sends for what the dialog shows.
    QString command() const;

    // A Tcl list element of `text` (every character that is not plain
    // escaped), so that any text stays one element.
    static QString listElement(const QString& text);

public slots:
    void accept() override;

private:
    void showDecoder();
    void guessBaud();

    ToolGateway* m_gateway;
    QPointer<DecoderSet> m_decoders;
    QPointer<WaveformModel> m_model;
    QComboBox* m_decoder = nullptr;
    QLabel* m_desc = nullptr;
    QLineEdit* m_name = nullptr;
    QComboBox* m_stack = nullptr;
    QFormLayout* m_channelForm = nullptr;
    QFormLayout* m_optionForm = nullptr;
    QLabel* m_error = nullptr;
    QHash<QString, QComboBox*> m_channels;
    QHash<QString, QWidget*> m_options;
    QHash<QString, QString> m_defaults; // option id -> the text it starts with
};

} // namespace vemo::toolona
