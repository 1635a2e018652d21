// methods: the sixteen overwrite methods with their passes.
#include <iomanip>
#include <iostream>
#include <string>

#include "commands.h"
#include "engine/pass_patterns.h"
#include "engine/wipe_state.h"

namespace zd::cli {

namespace {

// "00, FF, RND"; passes run in an order chosen per run are set in brackets.
std::string DescribePasses(const MethodRecipe& method)
{
    std::string text;
    for (std::size_t i = 0; i < method.passes.size(); ++i) {
        const bool shuffled = i >= method.shuffledFirst && i < method.shuffledFirst + method.shuffledCount;
        if (i > 0)
            text += ", ";
        if (shuffled && i == method.shuffledFirst)
            text += "[";
        text += DescribePass(method.passes[i], method);
        if (shuffled && i + 1 == method.shuffledFirst + method.shuffledCount)
            text += "] in an order chosen per run";
    }
    return text;
}

} // namespace

void AddMethodsCommand(CLI::App& app, int& exitCode)
{
    auto* command = app.add_subcommand("methods", "List the sixteen overwrite methods and their passes");
    command->callback([&exitCode] {
        std::cout << "Id  " << std::left << std::setw(20) << "Name" << std::right << std::setw(7) << "Passes"
                  << "  Pattern of each pass (hex bytes; RND: pseudo-random block; R: a random byte chosen per "
                     "run, ~R: its complement)\n";
        for (const OverwriteMethod& method : kOverwriteMethods) {
            std::cout << std::setw(2) << method.algorithmId << "  " << std::left << std::setw(20) << method.name
                      << std::right << std::setw(7) << method.passCount << "  "
                      << DescribePasses(*FindMethodRecipe(method.algorithmId)) << '\n';
        }
        exitCode = kExitOk;
    });
}

} // namespace zd::cli
