;;; eglot-checks.el --- the docs page's eglot set-up, checked in batch mode  -*- lexical-binding: t -*-
;; Loaded after the docs page's block, in a folder holding the sample unit.
;; Prints "emacs eglot test passed" when every check holds.
(require 'cl-lib)
(package-initialize)
(require 'eglot)
(require 'imenu)

(defun kestrel-check (condition format-string &rest args)
  (unless condition
    (princ (concat "FAIL: " (apply #'format format-string args) "\n"))
    (kill-emacs 1)))

(condition-case failure
    (progn
      ;; Every extension the server indexes opens in a Pascal mode.
      (dolist (name '("u2.pp" "u3.p" "u4.inc" "u5.lpr" "u6.dpr" "u7.dpk" "U8.PAS"))
        (with-temp-file name (insert "unit U;\nend.\n"))
        (with-current-buffer (find-file-noselect name)
          (kestrel-check (memq major-mode '(pascal-mode opascal-mode))
                         "%s opens in %s" name major-mode)))

      ;; M-x eglot in the unit's buffer: the docs page's server program.
      (set-buffer (find-file-noselect "Unit1.pas"))
      (call-interactively #'eglot)
      (let ((server (eglot-current-server)))
        (kestrel-check server "eglot did not connect")
        (kestrel-check (equal (process-command (jsonrpc--process server))
                              '("kestrel-lsp"))
                       "eglot started %S" (process-command (jsonrpc--process server)))

        ;; M-x imenu's index: the outline, classes holding their methods.
        (let* ((index (imenu--make-index-alist t))
               (flat '()))
          (cl-labels ((walk (entries path)
                        (dolist (entry entries)
                          (if (imenu--subalist-p entry)
                              (walk (cdr entry) (cons (car entry) path))
                            (push (string-join (reverse (cons (car entry) path)) "/") flat)))))
            (walk index nil))
          (dolist (wanted '("GetArea" "TShape" "Describe" "check the format"))
            (kestrel-check (cl-some (lambda (item) (string-match-p (regexp-quote wanted) item)) flat)
                           "imenu has no %s: %S" wanted flat)))

        ;; M-x eglot-code-actions at the cursor, "Insert bookmark" picked.
        (goto-char (point-min))
        (forward-line 40)                 ; line 41, "  FName := AName;"
        (forward-char 8)                  ; on the ":"
        (cl-letf (((symbol-function 'completing-read) (lambda (&rest _) "Insert bookmark")))
          (let ((last-nonmenu-event ?x))  ; as from the keyboard, not a menu
            (call-interactively #'eglot-code-actions)))
        (let ((line (buffer-substring (line-beginning-position) (line-end-position))))
          (kestrel-check (equal line "  FName {//*}:= AName;") "after the action the line reads %S" line))

        ;; M-x eglot-shutdown: "shutdown" is answered with a result (an
        ;; error answer would be signalled here) and "exit" goes out, both
        ;; with "params": null as Emacs's JSON-RPC library sends them. The
        ;; library then deletes the process itself, so its exit status is not
        ;; the server's to give; the events log must hold no error.
        (let ((events (jsonrpc-events-buffer server)))
          (eglot-shutdown server nil nil t)
          (kestrel-check (not (jsonrpc-running-p server)) "the server still runs")
          (with-current-buffer events
            (kestrel-check (not (string-match-p ":error" (buffer-string)))
                           "the events log holds an error:\n%s" (buffer-string))))))
  (error (kestrel-check nil "%S" failure)))
(princ "emacs eglot test passed\n")
(kill-emacs 0)
