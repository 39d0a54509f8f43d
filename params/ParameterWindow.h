#pragma once

#include "DeviceComboList.h"
#include "PacedQueue.h"
#include "ParameterCodes.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <optional>

class QComboBox;
class myEdit;

// What the ordinary and the administrator parameter windows share: the device selector with its
// list, showing and hiding the controls, filling the fields from read results with a moving
// highlight, marking write outcomes, and turning a committed field into a checked write. Each
// window gives its own code table and its own requests, log lines and boxes.
class ParameterWindow : public QWidget
{
    Q_OBJECT
public:
    static constexpr int HidePauseMs = 100;  // per field, when the placeholder is chosen again
    static constexpr int ResultPauseMs = 10; // after a shown result that pauses

    ~ParameterWindow() override;

    // The addresses offered in the selector, placeholder excluded.
    QList<quint8> listedDevices() const { return m_devices.devices(); }
    // All numeric fields, in the order of the form.
    const QList<myEdit *> &edits() const { return m_edits; }
    // Nothing waits to be shown and no field is being hidden.
    bool settled() const { return m_results.idle() && !m_hideTimer.isActive(); }

public slots:
    // A scan found this address; an address already listed is not added again.
    void slot_isBeenFindDevice(uchar deviceId);
    // A new scan starts: only the placeholder "选择设备" is left.
    void clearCombox();
    // A parameter read by the worker, shown in turn with the others.
    void showParameterReply(const RegisterReply &reply) { queueResult(reply); }

protected slots:
    // A field committed by Return or by losing the focus; every field is connected here.
    virtual void onReturnPressed() = 0;

protected:
    struct Look
    {
        bool lockRespectingSetter; // read results respect a field's lock
        QString errorTitle;        // the box of refused input
        QString errorText;
    };

    ParameterWindow(QWidget *parent, const Look &look);

    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;

    // Called once the form is built.
    void setUpCodes(QComboBox *deviceSelector, const QList<ParameterCodes::Field> &fields,
                    const QList<ParameterCodes::Selector> &selectors, const QList<QWidget *> &buttons);

    virtual void requestRead(int address) = 0;
    virtual void requestWrite(quint8 address, const ParameterCodes::Write &write) = 0;

    // False while the window refills the device selector itself.
    bool comboReady = true;

    // The selector's address; false while the placeholder is shown.
    bool selectedAddress(quint8 *address) const;
    bool placeholderShown() const;
    // Locks, empties and hides the fields one after another, then the buttons and selectors.
    void startHiding();
    // Shows everything for the selected controller, emptied, and asks for its values.
    void showSelectedDevice();
    // Asks for all values of the selected controller.
    void readSelected();

    // A field commit: the field when its text differs from what was last shown or sent there.
    myEdit *changedSender(QObject *sender) const;
    // Clamps the field and checks its text; refuses it when it cannot be written.
    std::optional<ParameterCodes::Write> checkedWrite(myEdit *edit);
    // Shows the input-error box and then the field's last value again.
    void refuse(myEdit *edit);
    // The yes/no question before a command the controller cannot take back; Yes counts only while
    // the controller it names is still the selected one.
    bool confirmedCommand(quint8 address, const QString &command);
    // The same for a change of a setting by a field or a selector; No shows the last value again.
    bool confirmedEntry(quint8 address, myEdit *edit, const QString &setting, const QString &value);
    bool confirmedChoice(quint8 address, QComboBox *combo, int index, const QString &setting);
    void send(quint8 address, const ParameterCodes::Write &write, myEdit *from = nullptr);
    // The write for item `index` of a selector, sent to the selected controller.
    void sendChoice(QComboBox *combo, int index);

    // Shows a read result or a write outcome in turn with the others. onShown runs after the
    // field mark of an outcome (boxes and the window's own reactions).
    void queueResult(const RegisterReply &reply);
    // The raw reply of the window's own slot, decoded as the worker decodes it, taken as read now.
    void queueResult(int code, int deviceId, const QByteArray &frame);
    void queueOutcome(bool success, int type, std::function<void()> onShown = {});
    // The last value read or chosen for a selector's code.
    int selectorValue(int readCode) const { return m_selectorValues.value(readCode, 0); }
    void rememberSelectorValue(int readCode, int value) { m_selectorValues[readCode] = value; }

private:
    const ParameterCodes::Field *fieldOf(const myEdit *edit) const;
    myEdit *editOfRead(int code) const;
    myEdit *editOfWrite(int type) const;
    int writeTypeOfRead(int code) const;
    bool showResult(const RegisterReply &reply);
    void showSelection(int k, const RegisterReply &reply);
    // The controller whose write of `type` the outcome arriving now reports; nothing when no write
    // of that type waits for its outcome here.
    std::optional<quint8> takeWrittenTo(int type);
    bool isSelected(std::optional<quint8> writtenTo) const;
    void markOutcome(bool success, int type, std::optional<quint8> writtenTo);
    void hideNextField();
    void setShownText(myEdit *edit, const QString &text, bool plainSetter);
    void showInputError();
    void showLastValue(myEdit *edit);
    void showChoice(int k, int item);
    void setSelectorsBlank();
    bool confirmed(quint8 address, const QString &question);

    Look m_look;
    QComboBox *m_deviceSelector = nullptr;
    DeviceComboList m_devices{nullptr};
    QList<myEdit *> m_edits;
    QList<ParameterCodes::Field> m_fields; // in the order of m_edits
    QList<ParameterCodes::Selector> m_selectors;
    QList<QComboBox *> m_selectorBoxes; // in the order of m_selectors
    QList<int> m_shownItems;            // the item last shown or sent in each selector
    QList<QWidget *> m_buttons;
    QHash<const myEdit *, QString> m_shown; // the text last shown or sent in each field
    QSet<const myEdit *> m_writeFailed;     // its text was refused by the controller: send it again
    QHash<int, int> m_selectorValues;
    // Write type -> the controllers whose write of it awaits its outcome, in the order the worker
    // serves them (one write per controller and type; a newer one replaces the older and goes last).
    QHash<int, QList<quint8>> m_awaiting;
    // The write types sent since the last read was asked for: that read's results for them are
    // older than what the operator sent (the worker reads before it writes).
    QSet<int> m_writtenSinceRead;
    myEdit *m_highlighted = nullptr;
    QTimer m_hideTimer;
    int m_hideNext = 0;
    PacedQueue m_results{ResultPauseMs};
};
