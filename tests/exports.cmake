# Checks the library's dynamic symbol table: the public names are exported and
# nothing internal is; on Windows the DLL imports only system DLLs.
# Inputs: LIB (library file), DUMP (command that lists symbols), WINDOWS (bool).
execute_process(COMMAND ${DUMP} ${LIB} OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "cannot read ${LIB}")
endif()

set(required _Z8zvMallocy _Z9zvReallocPvy _Z6zvFreePv _Z10genEventIdv _Z12isEqualValueff
    _ZN17ZvCriticalSectionC1Ev _ZNK17ZvCriticalSection4lockEv _ZNK17ZvCriticalSection7tryLockEv
    _ZN10ZvCSLockerC1EPK17ZvCriticalSection
    _ZN11ZvByteArrayC1EPKci _ZN11ZvByteArray6appendEPKci _ZNK11ZvByteArray11lastIndexOfEPKci
    _ZN11ZvByteArray7fromHexERKS_ _ZN9ZvByteRefaSEc
    _ZN8ZvStringC1EPKt _ZNK8ZvString7indexOfERKS_i _ZNK8ZvString6toUtf8Ev
    _ZN8ZvString13replaceNoCaseERKS_S1_ _ZNK11ZvTextCodec9toUnicodeEPKciPi
    _ZN18ZvFileOutputStream5writeEPKvj
    _ZN3VTQ9VTQLogger8InstanceEv _ZN3VTQ9VTQLogger7InitLogEPKw _ZN3VTQ9VTQLogger9LogWaringEPKwz
    _Z9mp_enableb _Z8mp_allocy _Z7mp_freePv _Z7mp_sizePKv _Z10mp_reallocPvy
    _Z18mp_set_report_hookPFvPKwE
    _ZN7CMarkupC1Ev _ZN7CMarkup10x_ParseDocEv _ZN7CMarkup8PosArray7ReleaseEv
    _ZN7CMarkup11SavedPosMap4HashEPKw
    _ZN7FlvFileC1Ev _ZN7FlvFile10checkValidEv _ZN7pubfunc12GetRandomNumEjj
    _ZN12CKeyExchange6VK2DIKEiRi
    _Z18getMultimediaTimerv _Z15getSwitchThreadv _ZN7sigslot9has_slotsC1Ev
    _ZN7sigslot9has_slots14disconnect_allEv _ZN7sigslot20multi_threaded_local4lockEv
    _ZN9CWinTimer8SetTimerEjP10ITimerFunc _ZN9CWinTimer9KillTimerEy)
if(NOT WINDOWS)
    # size_t and UINT_PTR are unsigned long there, and the wide character char16_t.
    string(REPLACE "zvMallocy" "zvMallocm" required "${required}")
    string(REPLACE "zvReallocPvy" "zvReallocPvm" required "${required}")
    string(REPLACE "mp_allocy" "mp_allocm" required "${required}")
    string(REPLACE "mp_reallocPvy" "mp_reallocPvm" required "${required}")
    string(REPLACE "PKw" "PKDs" required "${required}")
    string(REPLACE "KillTimerEy" "KillTimerEm" required "${required}")
endif()
foreach(name IN LISTS required)
    if(NOT dump MATCHES "[ \t]${name}[\r\n]")
        message(FATAL_ERROR "${name} is not exported")
    endif()
endforeach()
# Internal helpers live in namespace pf and must stay hidden.
if(dump MATCHES "_ZN2pf")
    message(FATAL_ERROR "an internal pf:: name is exported")
endif()

if(WINDOWS)
    string(REGEX MATCHALL "DLL Name: [^\r\n]+" imports "${dump}")
    set(allowed KERNEL32.dll msvcrt.dll USER32.dll ADVAPI32.dll SHELL32.dll SHLWAPI.dll
        WINMM.dll ole32.dll OLEAUT32.dll)
    foreach(line IN LISTS imports)
        string(REPLACE "DLL Name: " "" dll "${line}")
        string(STRIP "${dll}" dll)
        string(TOLOWER "${dll}" lower)
        set(ok FALSE)
        foreach(a IN LISTS allowed)
            string(TOLOWER "${a}" la)
            if(lower STREQUAL la OR lower MATCHES "^api-ms-win-")
                set(ok TRUE)
            endif()
        endforeach()
        if(NOT ok)
            message(FATAL_ERROR "the DLL imports ${dll}, which is not a system DLL")
        endif()
    endforeach()
    message(STATUS "imports: ${imports}")
endif()
