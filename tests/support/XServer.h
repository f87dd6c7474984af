#pragma once

#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QThread>

#include <memory>

namespace zumbal::test {

// A private X server (Xvfb) with a window manager (openbox) on it, for the
// few tests that need real window frames: without a window manager there
// are none, and the offscreen platform has no frames either. Both stop when
// it goes out of scope.
class XServer {
public:
    XServer() {
        if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty() ||
            QStandardPaths::findExecutable(QStringLiteral("openbox")).isEmpty()) {
            m_missing = QStringLiteral("needs Xvfb and openbox");
            return;
        }
        // Xvfb picks a free display and writes its number on the descriptor
        // given with -displayfd once it takes connections.
        m_server.setProcessChannelMode(QProcess::SeparateChannels);
        m_server.start(QStringLiteral("Xvfb"),
                       {QStringLiteral("-displayfd"), QStringLiteral("1"),
                        QStringLiteral("-screen"), QStringLiteral("0"),
                        QStringLiteral("1280x1024x24"), QStringLiteral("-nolisten"),
                        QStringLiteral("tcp")});
        while (m_server.waitForReadyRead(10000) && !m_server.canReadLine()) {
        }
        const QByteArray number = m_server.readLine().trimmed();
        if (number.isEmpty()) {
            m_missing = QStringLiteral("Xvfb did not start");
            return;
        }
        m_display = QStringLiteral(":") + QString::fromLatin1(number);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), m_display);
        m_manager.setProcessEnvironment(env);
        m_manager.setStandardOutputFile(QProcess::nullDevice());
        m_manager.setStandardErrorFile(QProcess::nullDevice());
        m_manager.start(QStringLiteral("openbox"), {});
        m_manager.waitForStarted();
        // openbox takes the screen within a moment; a window mapped before
        // that would get no frame.
        QThread::msleep(1000);
    }
    ~XServer() {
        for (QProcess* p : {&m_manager, &m_server}) {
            p->terminate();
            if (!p->waitForFinished(3000))
                p->kill();
            p->waitForFinished(1000);
        }
    }
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;

    // Why there is no server, or empty when there is one.
    const QString& missing() const { return m_missing; }
    const QString& display() const { return m_display; }

private:
    QProcess m_server, m_manager;
    QString m_missing, m_display;
};

} // namespace zumbal::test
