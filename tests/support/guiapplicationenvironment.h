// Gives a GoogleTest program the one QGuiApplication that Qt's painting, fonts
// and media need; include it in any test file that uses them.
#pragma once

#include <QGuiApplication>
#include <gtest/gtest.h>

#include <memory>

namespace kestrova {

class GuiApplicationEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        if (!QGuiApplication::instance())
            m_application = std::make_unique<QGuiApplication>(m_argc, m_argv);
    }
    void TearDown() override { m_application.reset(); }

private:
    int m_argc = 1;
    char m_name[9] = "kestrova";
    char* m_argv[2] = {m_name, nullptr};
    std::unique_ptr<QGuiApplication> m_application;
};

inline ::testing::Environment* const guiApplicationEnvironment =
    ::testing::AddGlobalTestEnvironment(new GuiApplicationEnvironment);

} // namespace kestrova
