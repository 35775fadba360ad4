# Settings shared by every target of both platforms.

set(QT_WARNINGS -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wno-sign-conversion)

# The project's Python tools run under Debian's own interpreter, the one its
# python3-* packages (mido, matplotlib) are installed for; a python3 found
# first on PATH may lack them.
set(QT_PYTHON /usr/bin/python3)

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
  # The oldest processor a PC with a PCI slot can have is a 486: no cmov,
  # no MMX or SSE, no long nop forms. Tuned for the Pentium, the common one.
  # Static objects are initialised before any second thread exists, so they
  # need no guard calls; and loops that copy or fill memory stay loops, so
  # the project's own memcpy and memset cannot become calls of themselves.
  add_compile_options(-march=i486 -mtune=pentium -fno-threadsafe-statics -fno-tree-loop-distribute-patterns)
  # No unwind tables: nothing unwinds without exceptions.
  add_compile_options(-fno-asynchronous-unwind-tables -fno-unwind-tables)
  # Self-contained test tools: no libgcc, libstdc++ or winpthread DLL.
  add_link_options(-static -static-libgcc -static-libstdc++)
endif()

# A program file gets the warning set; third-party headers do not.
function(qt_program_target target)
  target_compile_options(${target} PRIVATE ${QT_WARNINGS})
endfunction()

# A shipped program: linked against the system DLLs alone (`dlls`), with no
# C run-time, no libgcc and none of the toolchain's prebuilt objects, so no
# code compiled for a newer processor gets in and any use of the run-time
# fails the link. The run-time (runtime/) supplies the entry point. A stack
# frame of a page or more would need libgcc's stack probe, so it is a compile
# error.
function(qt_windows_system_only target)
  target_sources(${target} PRIVATE $<TARGET_OBJECTS:runtime_win32>)
  target_link_libraries(${target} PRIVATE runtime)
  target_compile_options(${target} PRIVATE -Werror=frame-larger-than=4000)
  target_link_options(${target} PRIVATE -nostdlib -nostartfiles -Wl,--entry,_WinMainCRTStartup)
  target_link_libraries(${target} PRIVATE ${ARGN})
endfunction()

# Program code on the simulated platform (native build): it sees the Win32
# headers of winsim and nothing of its test-control API, whose headers stop
# the compilation where WINSIM_PROGRAM_CODE is defined.
function(qt_simulated_program_code target)
  target_link_libraries(${target} PUBLIC winsim)
  target_compile_definitions(${target} PRIVATE WINSIM_PROGRAM_CODE)
endfunction()

# A library of program code (framework/, runtime/), with its folder as its
# include path: on Windows held to the shipped programs' frame limit (see
# qt_windows_system_only), natively program code on the simulated platform.
function(qt_program_library target kind)
  add_library(${target} ${kind} ${ARGN})
  target_include_directories(${target} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
  qt_program_target(${target})
  if(WIN32)
    target_compile_options(${target} PRIVATE -Werror=frame-larger-than=4000)
  else()
    qt_simulated_program_code(${target})
  endif()
endfunction()

# A resource script compiled for the simulated platform (native build): the
# cross toolchain's resource compiler makes the same binary .res file that
# the Windows build links, and `target` gets its path as the definition
# `variable` (with `scope`), for winsim::LoadProgramResources. The rest of
# the arguments are the files the script includes.
function(qt_simulated_resources target scope variable script)
  find_program(QT_WINDRES NAMES i686-w64-mingw32-windres x86_64-w64-mingw32-windres windres REQUIRED)
  get_filename_component(name ${script} NAME_WE)
  set(res ${CMAKE_CURRENT_BINARY_DIR}/${name}.res)
  add_custom_command(OUTPUT ${res}
    COMMAND ${QT_WINDRES} -O res -I ${CMAKE_CURRENT_SOURCE_DIR} -i ${CMAKE_CURRENT_SOURCE_DIR}/${script} -o ${res}
    DEPENDS ${script} ${ARGN}
    COMMENT "Compiling ${script} for the simulated platform"
    VERBATIM)
  add_custom_target(${target}_resources DEPENDS ${res})
  add_dependencies(${target} ${target}_resources)
  target_compile_definitions(${target} ${scope} ${variable}="${res}")
endfunction()

# A Windows GUI program marked for subsystem version 4.0.
function(qt_windows_gui target)
  target_link_options(${target} PRIVATE -mwindows
    -Wl,--subsystem,windows:4.0
    -Wl,--major-os-version,4 -Wl,--minor-os-version,0)
endfunction()
