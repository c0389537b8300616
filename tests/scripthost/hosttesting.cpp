#include "hosttesting.h"

#include "script/esobject.h"

#include <QCoreApplication>

void ensureApplication() {
    static int argc = 1;
    static char name[] = "scripthost_test";
    static char *argv[] = {name, nullptr};
    if (!QCoreApplication::instance())
        new QCoreApplication(argc, argv);
}

HostFixture::HostFixture() {
    ensureApplication();
    environment.setOutput([this](const QString &text) { output += text; });
    environment.setMessageOutput([this](const QString &text) { messages += text; });
    context = std::make_unique<ESContext>();
    environment.installHostObjects(*context);
}

QString HostFixture::eval(const QString &source) {
    ESCompletion completion = context->evaluate(QStringLiteral("test.js"), source);
    if (completion.type == ESCompletion::Throw)
        return QStringLiteral("error: ") + completion.text;
    return context->toText(completion.value);
}
