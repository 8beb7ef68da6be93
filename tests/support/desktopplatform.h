#pragma once

#include "fakeplatform.h"

#include <memory>

// Message boxes answered from the queue, but the real phonebook file and real processes.
class DesktopPlatform : public FakePlatform {
public:
    bool setEntryProperties(const QString& name, const QByteArray& record) override {
        return system->setEntryProperties(name, record);
    }
    bool setCredentials(const QString& name, const QByteArray& record) override {
        return system->setCredentials(name, record);
    }
    bool launch(const QString& commandLine, int showState) override {
        FakePlatform::launch(commandLine, showState);
        return system->launch(commandLine, showState);
    }
    void closeWindowsTitled(const QString& title) override {
        FakePlatform::closeWindowsTitled(title);
        system->closeWindowsTitled(title);
    }
    const std::unique_ptr<Platform> system = createPlatform();
};
