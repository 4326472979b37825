// The control's members as Qt sees them: properties, invokable methods and
// signals under the automation interface's own names, so QML and QJSEngine bind
// by name without the dispatch layer. A failing member throws into the calling
// script engine (the failure text as the Error's message) and emits Failed.
#pragma once

#include "control/ikivplayer.h"

#include <QFont>
#include <QObject>
#include <QString>

namespace kiv::ui {

class TKivPlayerCtrl;

class TKivPlayerFace : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool Visible READ getVisible WRITE putVisible)
    Q_PROPERTY(bool AutoScroll READ getAutoScroll WRITE putAutoScroll)
    Q_PROPERTY(bool AutoSize READ getAutoSize WRITE putAutoSize)
    Q_PROPERTY(int AxBorderStyle READ getAxBorderStyle WRITE putAxBorderStyle)
    Q_PROPERTY(QString Caption READ getCaption WRITE putCaption)
    Q_PROPERTY(uint Color READ getColor WRITE putColor)
    Q_PROPERTY(QFont Font READ getFont WRITE putFont)
    Q_PROPERTY(bool KeyPreview READ getKeyPreview WRITE putKeyPreview)
    Q_PROPERTY(int PixelsPerInch READ getPixelsPerInch WRITE putPixelsPerInch)
    Q_PROPERTY(int PrintScale READ getPrintScale WRITE putPrintScale)
    Q_PROPERTY(bool Scaled READ getScaled WRITE putScaled)
    Q_PROPERTY(bool Active READ getActive)
    Q_PROPERTY(bool DropTarget READ getDropTarget WRITE putDropTarget)
    Q_PROPERTY(QString HelpFile READ getHelpFile WRITE putHelpFile)
    Q_PROPERTY(bool DoubleBuffered READ getDoubleBuffered WRITE putDoubleBuffered)
    Q_PROPERTY(int VisibleDockClientCount READ getVisibleDockClientCount)
    Q_PROPERTY(bool Enabled READ getEnabled WRITE putEnabled)
    Q_PROPERTY(int Cursor READ getCursor WRITE putCursor)
    Q_PROPERTY(int DisplayMode READ getDisplayMode WRITE putDisplayMode NOTIFY OnDisplayModeChanged)
    Q_PROPERTY(int CurrentPosition READ getCurrentPosition WRITE putCurrentPosition NOTIFY
                   OnPositionChanged)
    Q_PROPERTY(int Duration READ getDuration)
    Q_PROPERTY(
        qint64 ScreenBackgroundColor READ getScreenBackgroundColor WRITE putScreenBackgroundColor)
    Q_PROPERTY(qint64 NailBackgroundColor READ getNailBackgroundColor WRITE putNailBackgroundColor)
    Q_PROPERTY(QString LocalIP READ getLocalIP WRITE putLocalIP)
    Q_PROPERTY(int Max READ getMax)
    Q_PROPERTY(int Min READ getMin)
    Q_PROPERTY(bool FullScreen READ getFullScreen WRITE putFullScreen)
    Q_PROPERTY(QString URL READ getURL WRITE putURL)
    Q_PROPERTY(int Status READ getStatus NOTIFY OnPlayStateChanged)
    Q_PROPERTY(bool AutoStart READ getAutoStart WRITE putAutoStart)
    Q_PROPERTY(int KivWidth READ getKivWidth)
    Q_PROPERTY(int KivHeight READ getKivHeight)

public:
    // A child of ctrl, living as long as it.
    explicit TKivPlayerFace(TKivPlayerCtrl& ctrl);
    // Where the control sends its events to become signals.
    IKivPlayerEvents& Events() { return FRelay; }

    bool getVisible() const;
    void putVisible(bool Value);
    bool getAutoScroll() const;
    void putAutoScroll(bool Value);
    bool getAutoSize() const;
    void putAutoSize(bool Value);
    int getAxBorderStyle() const;
    void putAxBorderStyle(int Value);
    QString getCaption() const;
    void putCaption(const QString& Value);
    uint getColor() const;
    void putColor(uint Value);
    QFont getFont() const;
    void putFont(const QFont& Value);
    bool getKeyPreview() const;
    void putKeyPreview(bool Value);
    int getPixelsPerInch() const;
    void putPixelsPerInch(int Value);
    int getPrintScale() const;
    void putPrintScale(int Value);
    bool getScaled() const;
    void putScaled(bool Value);
    bool getActive() const;
    bool getDropTarget() const;
    void putDropTarget(bool Value);
    QString getHelpFile() const;
    void putHelpFile(const QString& Value);
    bool getDoubleBuffered() const;
    void putDoubleBuffered(bool Value);
    int getVisibleDockClientCount() const;
    bool getEnabled() const;
    void putEnabled(bool Value);
    int getCursor() const;
    void putCursor(int Value);
    int getDisplayMode() const;
    void putDisplayMode(int Value);
    int getCurrentPosition() const;
    void putCurrentPosition(int Value);
    int getDuration() const;
    qint64 getScreenBackgroundColor() const;
    // Any 32 bits a script writes (0xFF00FF00 included) are taken.
    void putScreenBackgroundColor(qint64 Value);
    qint64 getNailBackgroundColor() const;
    // Any 32 bits a script writes (0xFF00FF00 included) are taken.
    void putNailBackgroundColor(qint64 Value);
    QString getLocalIP() const;
    void putLocalIP(const QString& Value);
    int getMax() const;
    int getMin() const;
    bool getFullScreen() const;
    void putFullScreen(bool Value);
    QString getURL() const;
    void putURL(const QString& Value);
    int getStatus() const;
    bool getAutoStart() const;
    void putAutoStart(bool Value);
    int getKivWidth() const;
    int getKivHeight() const;

    Q_INVOKABLE void LoadFile(const QString& Filename);
    Q_INVOKABLE void SendScript(const QString& Str);
    Q_INVOKABLE void Open(const QString& Filename);
    Q_INVOKABLE void Play();
    Q_INVOKABLE void Pause();
    Q_INVOKABLE void Stop();
    Q_INVOKABLE void Close();
    Q_INVOKABLE void FastForward();
    Q_INVOKABLE void FastReverse();

signals:
    void OnActivate();
    void OnClick();
    void OnCreate();
    void OnDblClick();
    void OnDestroy();
    void OnDeactivate();
    void OnKeyPress(int Key);
    void OnPaint();
    void OnSkip(int Seconds);
    void OnPlayStateChanged(int NewState);
    void OnPositionChanged(int NewPosition);
    void OnDisplayModeChanged(int NewMode);
    void Failed(const QString& text);

private:
    class TRelay : public IKivPlayerEvents {
    public:
        explicit TRelay(TKivPlayerFace& face) : FFace(face) {}
        void OnActivate() override { emit FFace.OnActivate(); }
        void OnClick() override { emit FFace.OnClick(); }
        void OnCreate() override { emit FFace.OnCreate(); }
        void OnDblClick() override { emit FFace.OnDblClick(); }
        void OnDestroy() override { emit FFace.OnDestroy(); }
        void OnDeactivate() override { emit FFace.OnDeactivate(); }
        void OnKeyPress(int16_t& key) override { emit FFace.OnKeyPress(key); }
        void OnPaint() override { emit FFace.OnPaint(); }
        void OnSkip(int32_t v) override { emit FFace.OnSkip(v); }
        void OnPlayStateChanged(TStatus v) override { emit FFace.OnPlayStateChanged(v); }
        void OnPositionChanged(int32_t v) override { emit FFace.OnPositionChanged(v); }
        void OnDisplayModeChanged(TDisplayMode v) override { emit FFace.OnDisplayModeChanged(v); }

    private:
        TKivPlayerFace& FFace;
    };

    IKivPlayer& P() const;
    void Check(HRESULT hr) const;
    template <class T> T Read(HRESULT (IKivPlayer::*get)(T*)) const;

    TKivPlayerCtrl& FCtrl;
    TRelay FRelay{*this};
};

} // namespace kiv::ui
