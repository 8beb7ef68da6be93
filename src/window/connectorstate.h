#pragma once

#include <QString>
#include <QtGlobal>

// The variables that the window's handlers share. Every start begins from these values;
// nothing of them is saved.
struct ConnectorState {
    QString ServerAddress;      // the selected server's address: the entry's phone number
    QString ServerAccount;      // its account, or a marker "cvpn", "uvpn", "avpn"
    QString ServerPassword;     // its password, or for a marker the address of a password page
    QString ServerPasswordPage; // the password field of the chosen server line, kept whole
    QString CvpnPassword;       // the last passwords fetched per marker
    QString UvpnPassword;
    QString AvpnPassword;
    QString ServerListText;       // the whole text of the last server list download
    QString PublicAddress;        // the address found at start-up: the baseline of the monitor
    QString CurrentPublicAddress; // the address the latest monitor look found
    qint16 ConnectCheckCount = 0;
    qint16 ConnectedSeconds = 0;
    qint16 ReconnectPauseSeconds = 0;
};
