// The local socket through which a later start hands its files to the
// running instance. The server runs on a thread of its own, as it runs in
// another process in use, since handing over waits for the answer.

#include "app/instanceserver.h"

#include <QLocalServer>
#include <QSignalSpy>
#include <QThread>
#include <QtTest>

#include <memory>

class TestInstanceServer : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void filesArrive_data();
    void filesArrive();
    void nobodyListening();
    void staleSocketIsTakenOver();

private:
    void startServer();

    QString m_key;
    QThread m_thread;
    InstanceServer *m_server = nullptr; // lives in m_thread
    QStringList m_received;
    int m_requests = 0;
};

void TestInstanceServer::init()
{
    m_key = QStringLiteral("VantiroTest-%1").arg(QCoreApplication::applicationPid());
    m_received.clear();
    m_requests = 0;
}

void TestInstanceServer::cleanup()
{
    // Gone before the next case listens: a server that closed later would
    // remove the next one's socket file, which has the same name.
    if (m_server) {
        InstanceServer *server = m_server;
        QMetaObject::invokeMethod(server, [server] { delete server; }, Qt::BlockingQueuedConnection);
        m_server = nullptr;
    }
    m_thread.quit();
    m_thread.wait();
}

void TestInstanceServer::startServer()
{
    m_server = new InstanceServer(m_key);
    m_server->moveToThread(&m_thread);
    connect(m_server, &InstanceServer::filesRequested, this, [this](const QStringList &files) {
        m_received = files;
        ++m_requests;
    });
    m_thread.start();
    bool listening = false;
    QMetaObject::invokeMethod(m_server, [this] { return m_server->listen(); }, Qt::BlockingQueuedConnection,
                              &listening);
    QVERIFY(listening);
}

void TestInstanceServer::filesArrive_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::newRow("none: only to the front") << QStringList();
    QTest::newRow("one media file") << QStringList{QStringLiteral("/home/li/lessons/unit 1.mp4")};
    QTest::newRow("Chinese name and a document")
        << QStringList{QStringLiteral("/home/li/听力/第一课.mp3"), QStringLiteral("/home/li/notes.html")};
}

void TestInstanceServer::filesArrive()
{
    QFETCH(QStringList, files);
    startServer();
    QVERIFY(InstanceServer::handOver(m_key, files));
    QTRY_COMPARE(m_requests, 1);
    QCOMPARE(m_received, files);
}

void TestInstanceServer::nobodyListening()
{
    QVERIFY(!InstanceServer::handOver(m_key, {QStringLiteral("/tmp/a.mp4")}, 500));
}

void TestInstanceServer::staleSocketIsTakenOver()
{
    // A server that ends without removing its socket file leaves it as a
    // crashed instance does.
    {
        QLocalServer crashed;
        crashed.setSocketOptions(QLocalServer::UserAccessOption);
        QVERIFY(crashed.listen(InstanceServer::nameFor(m_key)));
        const QString file = crashed.fullServerName();
        crashed.close();
        QFile leftover(file);
        QVERIFY(leftover.open(QIODevice::WriteOnly));
    }
    startServer();
    QVERIFY(InstanceServer::handOver(m_key, {QStringLiteral("/tmp/b.mp4")}));
    QTRY_COMPARE(m_requests, 1);
}

QTEST_GUILESS_MAIN(TestInstanceServer)
#include "tst_instanceserver.moc"
