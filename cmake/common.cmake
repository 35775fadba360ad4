# Settings shared by every target of both platforms.

set(QT_WARNINGS -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wno-sign-conversion)

set(QT_SANITIZE "" CACHE STRING "Sanitizers for the native build (address,undefined or thread)")
if(QT_SANITIZE AND NOT WIN32)
  add_compile_options(-fsanitize=${QT_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${QT_SANITIZE})
endif()
# A fuzz build counts coverage only where this list (clang's format) allows;
# empty counts it everywhere.
set(QT_FUZZ_COVERAGE_IGNORE "" CACHE FILEPATH "Code left without coverage counters in a fuzz build")
if(QT_FUZZ_COVERAGE_IGNORE)
  add_compile_options(-fsanitize-coverage-ignorelist=${QT_FUZZ_COVERAGE_IGNORE})
endif()

if(WIN32)
  # Oldest Win32 the headers allow; ANSI forms only.
  add_compile_definitions(_WIN32_WINNT=0x0400 WINVER=0x0400 _WIN32_WINDOWS=0x0400 WIN32_LEAN_AND_MEAN)
  # Plain procedural programs: no exceptions and no run-time type data, so
  # none of the compiler's exception runtime is linked (it calls the wide
  # forms of the system interfaces, which Windows 95 has only as stubs).
  add_compile_options(-fno-exceptions -fno-rtti)
  # Self-contained executables: no libgcc, libstdc++ or winpthread DLL.
  add_link_options(-static -static-libgcc -static-libstdc++)
endif()

# A program file gets the warning set; third-party headers do not.
function(qt_program_target target)
  target_compile_options(${target} PRIVATE ${QT_WARNINGS})
endfunction()

# A Windows GUI program marked for subsystem version 4.0.
function(qt_windows_gui target)
  target_link_options(${target} PRIVATE -mwindows
    -Wl,--subsystem,windows:4.0
    -Wl,--major-os-version,4 -Wl,--minor-os-version,0)
endfunction()
