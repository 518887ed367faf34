// Runs vantorel-cli in-process with the arguments after the program name.
#pragma once

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

struct CliRun {
    int status;
    std::string out;
    std::string err;
};

CliRun RunWith(std::vector<std::string> args);

// ",a,b,c,d,e,f,simple" of a JSON train, as its CSV row has them.
std::string GearFields(const nlohmann::json& train);
