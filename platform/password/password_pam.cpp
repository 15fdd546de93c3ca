// The password service on PAM: authenticates the current user with the typed password
// through the conversation function, which hands PAM a copy that PAM wipes and frees.
#include <pwd.h>
#include <security/pam_appl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/password/password.h"

namespace platform {

namespace {

bool IsFile(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string CurrentUser() {
    // The account the program runs as, never the environment's word for it.
    const passwd* pw = getpwuid(getuid());
    return pw && pw->pw_name ? pw->pw_name : "";
}

void FreeReplies(pam_response* replies, int count) {
    for (int j = 0; j < count; ++j) {
        if (replies[j].resp) {
            WipeMemory(replies[j].resp, strlen(replies[j].resp));
            free(replies[j].resp);
        }
    }
    free(replies);
}

// Answers every prompt that asks for hidden input with the password; shows nothing.
int Converse(int count, const pam_message** messages, pam_response** responses, void* data) {
    if (count <= 0 || count > PAM_MAX_NUM_MSG) return PAM_CONV_ERR;
    const SecretText* password = static_cast<const SecretText*>(data);
    auto* replies =
        static_cast<pam_response*>(calloc(static_cast<std::size_t>(count), sizeof(pam_response)));
    if (!replies) return PAM_BUF_ERR;
    for (int i = 0; i < count; ++i) {
        switch (messages[i]->msg_style) {
            case PAM_PROMPT_ECHO_OFF:
                replies[i].resp = strdup(password->c_str());
                if (!replies[i].resp) {
                    FreeReplies(replies, i);
                    return PAM_BUF_ERR;
                }
                break;
            case PAM_ERROR_MSG:
            case PAM_TEXT_INFO:
                break;
            default:
                // A visible question (a user name, a code) is not something the prompt asks.
                FreeReplies(replies, i);
                return PAM_CONV_ERR;
        }
    }
    *responses = replies;
    return PAM_SUCCESS;
}

class PamPasswordService : public PasswordService {
  public:
    explicit PamPasswordService(PamOptions options) : options_(std::move(options)) {
        // Tests of the whole program point it at service files of their own. Whoever can
        // set the saver's environment runs as the user already, and could end it anyway.
        if (options_.configDir.empty()) {
            if (const char* dir = std::getenv(kPamConfigDirVariable); dir && *dir)
                options_.configDir = dir;
        }
        if (options_.service.empty()) {
            std::vector<std::string> folders;
            if (!options_.configDir.empty()) {
                folders.push_back(options_.configDir);
            } else {
                folders = {"/etc/pam.d", "/usr/lib/pam.d"};
            }
            options_.service = ChoosePamService(folders);
        }
        if (options_.user.empty()) options_.user = CurrentUser();
    }

    PasswordAnswer Verify(const SecretText& password) override {
        if (options_.user.empty()) return PasswordAnswer::kUnavailable;
        pam_conv conversation{&Converse, const_cast<SecretText*>(&password)};
        pam_handle_t* handle = nullptr;
        const char* dir = options_.configDir.empty() ? nullptr : options_.configDir.c_str();
        int status = pam_start_confdir(options_.service.c_str(), options_.user.c_str(),
                                       &conversation, dir, &handle);
        if (status != PAM_SUCCESS) {
            if (handle) pam_end(handle, status);
            return PasswordAnswer::kUnavailable;
        }
        status = pam_authenticate(handle, PAM_SILENT);
        if (status == PAM_SUCCESS) pam_setcred(handle, PAM_REFRESH_CRED | PAM_SILENT);
        pam_end(handle, status);
        return status == PAM_SUCCESS ? PasswordAnswer::kAccepted : PasswordAnswer::kRefused;
    }

  private:
    PamOptions options_;
};

}  // namespace

std::string ChoosePamService(const std::vector<std::string>& configFolders) {
    for (const char* name : {kPamServiceName, "login"}) {
        for (const std::string& folder : configFolders) {
            if (IsFile(folder + "/" + name)) return name;
        }
    }
    return "other";
}

std::unique_ptr<PasswordService> CreatePamPasswordService(PamOptions options) {
    return std::make_unique<PamPasswordService>(std::move(options));
}

}  // namespace platform
