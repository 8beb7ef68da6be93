#pragma once

#include "platform/platform.h"

#include <QList>
#include <QMap>
#include <QStringList>

// A platform that answers message boxes from a queue and records what the window asked of
// the system instead of doing it.
class FakePlatform : public Platform {
public:
    struct Box {
        QString text;
        QString title;
        int style;
    };
    struct Launch {
        QString commandLine;
        int showState;
    };

    QList<int> answers;              // the buttons pressed, in order; 1 (OK) once they run out
    bool boxesFail = false;          // message boxes cannot be shown
    QMap<QString, QString> registry; // values that exist
    bool registryWritable = true;

    bool phonebookWritable = true;
    struct Record {
        QString entryName;
        QByteArray bytes;
    };
    QList<Record> entriesWritten;
    QList<Record> credentialsWritten;
    QStringList windowsClosed; // the titles of the sweeps asked for

    QList<Box> boxes;
    QList<Launch> launched;
    QList<int> endings; // exit statuses the program asked to end with

    int messageBox(const QString& text, const QString& title, int style) override {
        if (boxesFail) throw PlatformError("no message box");
        boxes.append({text, title, style});
        return answers.isEmpty() ? 1 : answers.takeFirst();
    }
    bool launch(const QString& commandLine, int showState) override {
        launched.append({commandLine, showState});
        return true;
    }
    std::optional<QString> regRead(const QString& path) override {
        if (!registry.contains(path)) return std::nullopt;
        return registry.value(path);
    }
    bool regWrite(const QString& path, const QString& data, const QString& type) override {
        if (!registryWritable || type != QLatin1String("REG_SZ")) return false;
        registry.insert(path, data);
        return true;
    }
    bool setEntryProperties(const QString& entryName, const QByteArray& rasEntry) override {
        if (!phonebookWritable) return false;
        entriesWritten.append({entryName, rasEntry});
        return true;
    }
    bool setCredentials(const QString& entryName, const QByteArray& rasCredentials) override {
        credentialsWritten.append({entryName, rasCredentials});
        return true;
    }
    void closeWindowsTitled(const QString& title) override { windowsClosed.append(title); }
    void endProgram(int status) override { endings.append(status); }

    QStringList boxTexts() const {
        QStringList texts;
        for (const Box& box : boxes)
            texts << box.text;
        return texts;
    }
};
