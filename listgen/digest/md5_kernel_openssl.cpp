// One lane through OpenSSL's MD5 block function. Only its low-level interface, deprecated since
// OpenSSL 3.0 but still built by Debian, lets a chaining value be put in and taken out.
#define OPENSSL_SUPPRESS_DEPRECATED
#include "listgen/digest/md5_kernel.h"
#include "listgen/digest/md5_rounds.h"

#include <openssl/md5.h>

namespace listgen::md5 {
namespace {

void load(MD5_CTX& context, const std::uint32_t (&words)[4])
{
    context.A = words[0];
    context.B = words[1];
    context.C = words[2];
    context.D = words[3];
}

// Blocks that lie one after another in memory go to OpenSSL in one call.
void openSslBlocks(LaneState& state, BlockPlan& plan, std::size_t blocks)
{
    MD5_CTX context{};
    load(context, {state.word[0][0], state.word[1][0], state.word[2][0], state.word[3][0]});
    for (std::size_t block = 0; block < blocks;) {
        std::size_t run = 1;
        while (block + run < blocks && (plan.restart[block + run - 1] & 1) == 0 &&
               plan.rows[block + run][0] == plan.rows[block + run - 1][0] + 64)
            ++run;
        MD5_Update(&context, plan.rows[block][0], run * 64);
        block += run;
        if ((plan.restart[block - 1] & 1) != 0) {
            LaneState& snapshot = plan.snapshot[block - 1];
            snapshot.word[0][0] = context.A;
            snapshot.word[1][0] = context.B;
            snapshot.word[2][0] = context.C;
            snapshot.word[3][0] = context.D;
            load(context, kInitialState);
        }
    }
    state.word[0][0] = context.A;
    state.word[1][0] = context.B;
    state.word[2][0] = context.C;
    state.word[3][0] = context.D;
}

} // namespace

const BlockKernel kOpenSslKernel = {1, &openSslBlocks};

} // namespace listgen::md5
