#pragma once

#include "ConverterDeviceProcess.h"

#include <gtest/gtest.h>
#include <string>

// Runs once per transport, skipping where the machine lacks it (all but the test guest).
class TransportTest : public ::testing::TestWithParam<ConverterDeviceProcess::Transport> {
public:
    static std::string runName(const ::testing::TestParamInfo<ParamType>& info) {
        return ConverterDeviceProcess::transportName(info.param).toStdString();
    }

protected:
    void SetUp() override {
        if (!ConverterDeviceProcess::available(GetParam()))
            GTEST_SKIP() << "no " << runName({GetParam(), 0})
                         << " here; scripts/test-kernel runs this in the test guest";
    }
};
