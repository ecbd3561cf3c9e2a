// The console of each rank of a cluster run. Only rank 0's console reaches the person who started
// the job, so every other rank keeps its standard error in a temporary file (its standard output,
// the start-up lines rank 0 prints too, is dropped) and hands the text over at the two moments all
// ranks meet: the load check and the end of the render. Rank 0 prints it, each line after
// "[rank N] ". Rank 0 holds back its own standard error until the load check, so that a problem
// every rank reports alike (a broken scene file) is printed once, unprefixed.
#pragma once

#include <string>

namespace glintor {

class RankConsole {
public:
    explicit RankConsole(int rank);
    ~RankConsole();
    RankConsole(const RankConsole&) = delete;
    RankConsole& operator=(const RankConsole&) = delete;

    // What this rank wrote to standard error since the last call.
    std::string TakeNewText();
    // Rank 0 only: standard error goes to the console again.
    void Release();

private:
    int file_ = -1;        // the temporary file standard error is written to
    int savedError_ = -1;  // rank 0's console, while held back
    long long taken_ = 0;  // bytes of the file already handed over
};

// Each line of text after "[rank N] ", for rank 0's console.
std::string PrefixLines(const std::string& text, int rank);

}  // namespace glintor
