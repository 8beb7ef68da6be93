// The NetworkManager path's own machinery, without NetworkManager: requests whose answer comes
// after they were given up, waits that a hang-up ends at once, the agent that answers for one
// profile by its UUID, and what NetworkManager's reasons become. The guest
// (tests/tunnel/nm-guest.sh) shows the same against a real NetworkManager.
// GLib before Qt, whose "signals" keyword its headers use as a name.
#include "libnm.h"

#include "hangupsignals.h"
#include "nmloop.h"
#include "nmoutcome.h"
#include "nmsession.h"
#include "rasdialerrors.h"
#include "reachability.h"
#include "secretagent.h"

#include <QElapsedTimer>
#include <QTest>

#include <csignal>
#include <unistd.h>

using namespace rasdial;
using namespace rasdial::nm;

namespace {

// An asynchronous call like libnm's whose answer comes `ms` after it was made, cancelled or
// not (as a D-Bus reply that is already on its way does).
void lateCall(int ms, GCancellable* cancellable, GAsyncReadyCallback callback, gpointer data) {
    GTask* task = g_task_new(nullptr, cancellable, callback, data);
    g_task_set_check_cancellable(task, FALSE);
    GSource* timer = g_timeout_source_new(guint(ms));
    g_source_set_callback(
        timer,
        [](gpointer task) -> gboolean {
            g_task_return_boolean(G_TASK(task), TRUE);
            return G_SOURCE_REMOVE;
        },
        task, g_object_unref);
    g_source_attach(timer, g_main_context_get_thread_default());
    g_source_unref(timer);
}

NMConnection* profileWithUuid(const char* uuid) {
    NMConnection* connection = nm_simple_connection_new();
    NMSetting* general = nm_setting_connection_new();
    g_object_set(general, NM_SETTING_CONNECTION_ID, "entry", NM_SETTING_CONNECTION_UUID, uuid,
                 NM_SETTING_CONNECTION_TYPE, NM_SETTING_VPN_SETTING_NAME, nullptr);
    nm_connection_add_setting(connection, general);
    return connection;
}

QString passwordIn(GVariant* answer) {
    GVariant* vpn =
        g_variant_lookup_value(answer, NM_SETTING_VPN_SETTING_NAME, G_VARIANT_TYPE_VARDICT);
    if (!vpn) return {};
    GVariant* secrets =
        g_variant_lookup_value(vpn, NM_SETTING_VPN_SECRETS, G_VARIANT_TYPE("a{ss}"));
    const char* password = nullptr;
    if (secrets) g_variant_lookup(secrets, "password", "&s", &password);
    const QString text = QString::fromUtf8(password ? password : "");
    if (secrets) g_variant_unref(secrets);
    g_variant_unref(vpn);
    return text;
}

} // namespace

class TestRasdialNm : public QObject {
    Q_OBJECT
private slots:
    // A request given up (its wait ended, the Request gone) still gets its answer: into a
    // state of its own, never into freed memory (the old wait gave the callback 1 s, then
    // freed the state it wrote into).
    void requestOutlivesItsWait() {
        Loop loop;
        QCOMPARE(Request::outstanding(), 0);
        {
            Request request;
            lateCall(1500, request.cancellable(), Request::finished, request.data());
            QCOMPARE(loop.await(request, 100), Waited::Expired);
            QVERIFY(g_cancellable_is_cancelled(request.cancellable()));
            QVERIFY(!request.result());
        }
        // The Request is gone; its callback has not come yet and finds its state alive.
        QCOMPARE(Request::outstanding(), 1);
        QCOMPARE(loop.waitUntil([] { return Request::outstanding() == 0; }, 5000), Waited::Done);

        Request answered;
        lateCall(10, answered.cancellable(), Request::finished, answered.data());
        QCOMPARE(loop.await(answered, 5000), Waited::Done);
        QVERIFY(answered.result());
        QVERIFY(!g_cancellable_is_cancelled(answered.cancellable()));
    }

    // The loop does not go before the answers of requests given up have come.
    void loopWaitsForLateAnswers() {
        {
            Loop loop;
            Request request;
            lateCall(300, request.cancellable(), Request::finished, request.data());
            QCOMPARE(loop.await(request, 10), Waited::Expired);
        }
        QCOMPARE(Request::outstanding(), 0);
    }

    // A hang-up by signal ends any wait at once, whatever it waits for; a wait that must not
    // end so (the hang-up's own) goes on.
    void hangUpEndsWaits() {
        Loop loop;
        QCOMPARE(loop.waitUntil([] { return false; }, 50), Waited::Expired); // no HangUpSignals
        const HangUpSignals caught;
        QVERIFY(!HangUpSignals::asked());
        QVERIFY(HangUpSignals::fd() >= 0);
        GSource* later = g_timeout_source_new(200);
        g_source_set_callback(
            later, [](gpointer) -> gboolean { return kill(getpid(), SIGTERM), G_SOURCE_REMOVE; },
            nullptr, nullptr);
        g_source_attach(later, loop.context());
        g_source_unref(later);
        QElapsedTimer timer;
        timer.start();
        Request request;
        lateCall(1500, request.cancellable(), Request::finished, request.data());
        QCOMPARE(loop.await(request, 20000), Waited::HungUp);
        QVERIFY2(timer.elapsed() < 1000, QByteArray::number(timer.elapsed()));
        QVERIFY(HangUpSignals::asked());
        QCOMPARE(loop.waitUntil([] { return false; }, 5000), Waited::HungUp);
        QCOMPARE(loop.waitUntil([] { return false; }, 50, Loop::Ends::NotOnHangUp),
                 Waited::Expired);
        // The steps that do not wait on NetworkManager end as well.
        std::string address;
        QCOMPARE(resolveServer("localhost", &address, HangUpSignals::fd()), Lookup::Cancelled);
        QCOMPARE(knockAt("127.0.0.1", 1, HangUpSignals::fd()), Knock::Cancelled);
    }

    void networkManagerGoneEndsWaits() {
        Loop loop;
        bool gone = false;
        loop.setGone([&] { return gone; });
        GSource* later = g_timeout_source_new(100);
        g_source_set_callback(
            later,
            [](gpointer flag) -> gboolean {
                return *static_cast<bool*>(flag) = true, G_SOURCE_REMOVE;
            },
            &gone, nullptr);
        g_source_attach(later, loop.context());
        g_source_unref(later);
        QCOMPARE(loop.waitUntil([] { return false; }, 5000, Loop::Ends::NotOnHangUp), Waited::Gone);
        loop.setGone(nullptr);
    }

    // The agent answers for the dial's own profile by its UUID, never by D-Bus path: another
    // profile, which after NetworkManager's restart may have the path ours had, gets nothing.
    void agentAnswersByUuid() {
        const char* ours = "3b7c9a52-5a3e-4c1e-9a4f-6f2b0c1d2e3f";
        const char* other = "9f0e1d2c-3b4a-4958-8776-655443322110";
        NMConnection* own = profileWithUuid(ours);
        NMConnection* another = profileWithUuid(other);
        GError* error = nullptr;
        QVERIFY(!agentAnswer(own, NM_SETTING_VPN_SETTING_NAME, &error)); // nothing given yet
        g_clear_error(&error);
        const Password password("mv2026 \xe7\xbd\x91");
        setAgentSecret(ours, &password);
        GVariant* answer = agentAnswer(own, NM_SETTING_VPN_SETTING_NAME, &error);
        QVERIFY(answer);
        QCOMPARE(passwordIn(answer), QString::fromUtf8("mv2026 \xe7\xbd\x91"));
        g_variant_unref(answer);
        QVERIFY(!agentAnswer(another, NM_SETTING_VPN_SETTING_NAME, &error));
        QVERIFY(g_error_matches(error, NM_SECRET_AGENT_ERROR, NM_SECRET_AGENT_ERROR_NO_SECRETS));
        g_clear_error(&error);
        QVERIFY(!agentAnswer(own, NM_SETTING_IP4_CONFIG_SETTING_NAME, &error));
        g_clear_error(&error);
        clearAgentSecret();
        QVERIFY(!agentAnswer(own, NM_SETTING_VPN_SETTING_NAME, &error));
        g_clear_error(&error);
        g_object_unref(own);
        g_object_unref(another);
    }

    // A profile is taken for one of ours and this user's (to find its links, and to remove a
    // leftover of earlier versions) only when its tags AND its permissions (this user alone)
    // say so: never another user's, or one shared with someone else.
    void ownProfilesOnly() {
        LinkRequest request;
        request.entry = "entry";
        request.server = "203.0.113.10";
        request.owner = getuid();
        const Profile profile = profileFor(request, "203.0.113.10");
        NMConnection* own = newConnection(request, profile, loginName());
        QCOMPARE(QString(entryOf(own, false)), QStringLiteral("entry"));
        NMConnection* otherLogin = newConnection(request, profile, loginName() + "x");
        QVERIFY(!entryOf(otherLogin, false));
        QCOMPARE(QString(entryOf(otherLogin, true)), QStringLiteral("entry")); // root's hang-up
        NMConnection* shared = newConnection(request, profile, loginName());
        nm_setting_connection_add_permission(nm_connection_get_setting_connection(shared), "user",
                                             "someone", nullptr);
        QVERIFY(!entryOf(shared, false));
        request.owner = getuid() + 1;
        NMConnection* otherTag = newConnection(request, profile, loginName());
        QVERIFY(!entryOf(otherTag, false));
        for (NMConnection* connection : {own, otherLogin, shared, otherTag})
            g_object_unref(connection);
    }

    // The password's one buffer: a move takes the bytes over and wipes where they were.
    void passwordBuffer() {
        Password first("mv2026");
        const char* where = first.c_str();
        Password second(std::move(first));
        QCOMPARE(second.view(), std::string_view("mv2026"));
        QVERIFY(first.empty());
        for (std::size_t i = 0; i <= Password::Capacity; ++i)
            QCOMPARE(where[i], '\0');
        QVERIFY(!second.assign(std::string(Password::Capacity + 1, 'p')));
        QVERIFY(second.empty());
        std::string text = "a short secret";
        wipeString(text);
        QVERIFY(text.empty());
        QCOMPARE(std::string_view(text.data(), 14), std::string_view("\0\0\0\0\0\0\0\0\0\0\0\0\0\0", 14));
    }

    // What the reasons NetworkManager 1.42 and its PPTP plugin really give (seen in the guest)
    // become: a refused password comes as 0 or 4, both 734 with the same note naming the
    // possible causes; LOGIN_FAILED means pppd refused its options, never a refused password;
    // NO_SECRETS, no password from any agent, has words of its own.
    void networkManagerFailure_data() {
        QTest::addColumn<unsigned>("reason"); // NMActiveConnectionStateReason
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("says");
        const QString causes =
            QStringLiteral("refused the user name or password, the encryption did not match, "
                           "the tunnel (GRE) is blocked, or pppd itself failed");
        QTest::newRow("unknown: PPP ended, the password may or may not be at fault")
            << 0u << 734 << causes;
        QTest::newRow("plugin stopped: the same, heard the other way") << 4u << 734 << causes;
        QTest::newRow("hung up while dialling") << 2u << 631 << "hung up";
        QTest::newRow("profile removed while dialling") << 11u << 631 << "removed";
        QTest::newRow("LOGIN_FAILED: pppd's options, not the password")
            << 10u << 800 << "refused its options";
        QTest::newRow("no secrets") << 9u << 703 << "no password reached NetworkManager";
        QTest::newRow("plugin failed to start") << 8u << 800 << "failed to start";
        QTest::newRow("timed out") << 6u << 800 << "in time";
    }
    void networkManagerFailure() {
        QFETCH(unsigned, reason);
        QFETCH(int, code);
        QFETCH(QString, says);
        QCOMPARE(codeForFailure(reason), code);
        QVERIFY(code !=
                AuthenticationFailed); // nothing NetworkManager gives says "password refused"
        const QString text = QString::fromStdString(reasonText(reason));
        QVERIFY2(text.contains(says), qPrintable(text));
        QVERIFY2(text.endsWith(QStringLiteral("(reason %1)").arg(reason)), qPrintable(text));
        QVERIFY(QString::fromStdString(errorLine(code))
                    .startsWith(QStringLiteral("Remote Access error %1 - ").arg(code)));
    }
};

QTEST_GUILESS_MAIN(TestRasdialNm)
#include "tst_rasdialnm.moc"
