// The main road of the dnnlp program: the shared road to a read problem, the option lines for
// DNKEYF, the dense arrays, the reverse-communication loop of DNNLPF and the solution file.
#pragma once

namespace dnnlp {

// Runs the program on its argument vector and returns the process exit code: 0 after the
// solution is written and when no stub is given, 1 for every refusal or failure before the
// solve, a problem too large for dense arrays included.
int run_driver(int argc, char** argv);

}  // namespace dnnlp
