#pragma once
// Each group of zarctl subcommands registers itself on the application.
// A failing command prints its reason and throws CLI::RuntimeError(code),
// which becomes the process exit code (0 success, non-zero failure).

namespace CLI { class App; }

namespace zar::cli {

void addControllerCommand(CLI::App& app);   // zarctl controller
void addTransferCommands(CLI::App& app);    // zarctl send/receive/delete
void addPlcCommands(CLI::App& app);         // zarctl plc compile/decompile/check/send/receive/verify
void addPlcTransferCommands(CLI::App& plc); // zarctl plc send/receive/verify (called by addPlcCommands)
void addNcCommands(CLI::App& app);          // zarctl nc check/dump/plot
void addParamCommands(CLI::App& app);       // zarctl param list
void addPortCommands(CLI::App& app);        // zarctl detect/ports
void addMultiCommands(CLI::App& app);       // zarctl multi read/write
void addBackupCommand(CLI::App& app);       // zarctl backup

}  // namespace zar::cli
