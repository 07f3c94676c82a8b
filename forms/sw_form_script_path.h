// Where the product's scripts live under the web root:
// <base folder>/<product>/<version>/<file name>.
#ifndef KX_FORMS_SW_FORM_SCRIPT_PATH_H
#define KX_FORMS_SW_FORM_SCRIPT_PATH_H

#include <string>

class CCachedScriptDecorator;

class CSWFormScriptPath {
public:
    // Throws CSWFormException when a part is empty.
    CSWFormScriptPath(const std::string& sProductName, const std::string& sVersionInfo);
    virtual ~CSWFormScriptPath() = default;

    virtual void Initialize(const std::string& sBaseFolder, const std::string& sProductName,
                            const std::string& sVersionInfo);
    // With the base folder "QVScripts".
    virtual void Initialize(const std::string& sProductName, const std::string& sVersionInfo);

    std::string GetScriptPath(const std::string& sFileName) const;
    // The path of the file under the decorator's prefix folder; empty
    // without a decorator.
    std::string GetScriptPath(const std::string& sFileName, const CCachedScriptDecorator* pDecorator) const;

private:
    std::string m_sBaseFolder;
    std::string m_sVersionInfo;
    std::string m_sProductName;
};

#endif  // KX_FORMS_SW_FORM_SCRIPT_PATH_H
