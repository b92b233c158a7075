#pragma once

#include <windows.h>

#include <cstring>

// Points this executable's import of one system function at a stand-in for
// as long as the object lives. The product's code calls system functions
// through the import address table, so the stand-in sees every call that
// the dialogs make, and only those: the system's own DLLs keep their
// imports. Used where Wine cannot show the effect of a call (a stub) or
// where a test needs a lookup to fail that the product cannot be asked to
// fail.
class ImportPatch
{
public:
    ImportPatch(const char* dll, const char* function, void* standIn)
    {
        BYTE* base = reinterpret_cast<BYTE*>(::GetModuleHandleA(nullptr));
        const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
        const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
        const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
        if (!imports.VirtualAddress)
            return;
        for (auto* module = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
             module->Name && !m_slot; ++module)
        {
            if (::lstrcmpiA(reinterpret_cast<const char*>(base + module->Name), dll) != 0)
                continue;
            // The name table stays as linked; the address table holds what
            // the loader bound, which is what the calls go through.
            if (!module->OriginalFirstThunk)
                continue;
            const auto* name = reinterpret_cast<const IMAGE_THUNK_DATA*>(base + module->OriginalFirstThunk);
            auto* slot = reinterpret_cast<IMAGE_THUNK_DATA*>(base + module->FirstThunk);
            for (; name->u1.AddressOfData; ++name, ++slot)
            {
                if (IMAGE_SNAP_BY_ORDINAL(name->u1.Ordinal))
                    continue;
                const auto* byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + name->u1.AddressOfData);
                if (std::strcmp(reinterpret_cast<const char*>(byName->Name), function) == 0)
                {
                    m_slot = reinterpret_cast<void**>(&slot->u1.Function);
                    break;
                }
            }
        }
        if (m_slot)
        {
            m_original = *m_slot;
            if (!Write(standIn))
                m_slot = nullptr;
        }
    }

    ~ImportPatch()
    {
        if (m_slot)
            Write(m_original);
    }

    ImportPatch(const ImportPatch&) = delete;
    ImportPatch& operator=(const ImportPatch&) = delete;

    // False when this executable does not import the function by name: the
    // code under test then does not call it through here either.
    bool Installed() const { return m_slot != nullptr; }
    // The system's function, for the stand-in to pass calls on to.
    void* Original() const { return m_original; }

private:
    bool Write(void* value)
    {
        DWORD previous = 0;
        if (!::VirtualProtect(m_slot, sizeof *m_slot, PAGE_READWRITE, &previous))
            return false;
        *m_slot = value;
        ::VirtualProtect(m_slot, sizeof *m_slot, previous, &previous);
        ::FlushInstructionCache(::GetCurrentProcess(), m_slot, sizeof *m_slot);
        return true;
    }

    void** m_slot = nullptr;
    void* m_original = nullptr;
};
