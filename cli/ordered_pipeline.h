// Blocks of work computed on several threads and written strictly in order.
// The workers live for the whole run and keep computing while finished
// blocks are written; at most `workers` x 2 finished blocks wait at a time,
// so memory stays bounded however many blocks there are.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace synthfactors::cli {

// compute(block, text) fills `text` for block 0 ... blocks - 1 (on any of
// `workers` threads); write(text) is called on the calling thread for each
// block in order. When write throws, no further block is started, the
// workers are joined and the exception goes on to the caller.
void RunOrdered(std::int64_t blocks, int workers,
                const std::function<void(std::int64_t block, std::string& text)>& compute,
                const std::function<void(const std::string& text)>& write);

}  // namespace synthfactors::cli
