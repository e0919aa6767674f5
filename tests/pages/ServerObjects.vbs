' Stand-ins for what a page meets at run time on the server: the objects Request, Response, Server and
' Session, and the product's data provider that Server.CreateObject("Corvane.DataProvider") gives.
' Every call the page makes on a data provider and every piece of visible text it writes is recorded
' as one line on standard output, in the form the expected-calls files hold.
' The test runner defines PAGE_PROVIDER_KIND (what a provider's Kind answers) and PAGE_FOLDER (the
' page's folder below the site root, "" or ending in "/") ahead of this text.

Dim Request, Response, Server, Session
Set Request = New RequestStandIn
Set Response = New ResponseStandIn
Set Server = New ServerStandIn
Set Session = New SessionStandIn

Sub Record(pLine)
	WScript.Echo pLine
End Sub

' A value as the records show it, on one line: texts quoted as in VBScript, arrays and dictionaries
' with their items, a date by its type only (pages compute dates from today), a provider by its name,
' Empty (a function that set no result) and Null by name.
Function Describe(pValue)
	Dim lText, lItem
	If IsObject(pValue) Then
		If InStr(TypeName(pValue), "Dictionary") > 0 Then
			lText = ""
			For Each lItem In pValue.Keys
				If lText <> "" Then lText = lText & ", "
				lText = lText & Describe(lItem) & ": " & Describe(pValue.Item(lItem))
			Next
			Describe = "{" & lText & "}"
		Else
			Describe = pValue.Label
		End If
	ElseIf IsArray(pValue) Then
		lText = ""
		For Each lItem In pValue
			If lText <> "" Then lText = lText & ", "
			lText = lText & Describe(lItem)
		Next
		Describe = "Array(" & lText & ")"
	ElseIf VarType(pValue) = vbString Then
		lText = """" & Replace(pValue, """", """""") & """"
		lText = Replace(lText, vbCrLf, """ & vbCrLf & """)
		Describe = Replace(Replace(lText, vbCr, """ & vbCr & """), vbLf, """ & vbLf & """)
	ElseIf VarType(pValue) = vbDate Then
		Describe = "Date"
	ElseIf IsEmpty(pValue) Or IsNull(pValue) Then
		Describe = TypeName(pValue)
	Else
		Describe = CStr(pValue)
	End If
End Function

' No query string and no form: the page takes its defaults.
Class RequestStandIn
	Public Default Function Item(pName)
		Item = ""
	End Function
	Public Function QueryString(pName)
		QueryString = ""
	End Function
End Class

' A signed-in customer.
Class SessionStandIn
	Public Default Property Get Item(pName)
		If pName = "CustomerID" Then Item = "C-1001" Else Item = ""
	End Property
End Class

' Text that the browser would show is recorded; line ends and indentation between blocks are not.
Class ResponseStandIn
	Public Sub Write(pText)
		Dim lVisible
		lVisible = Replace(Replace(Replace(Replace(pText, vbCr, ""), vbLf, ""), vbTab, ""), " ", "")
		If lVisible <> "" Then Record "Response.Write " & Describe(pText)
	End Sub
End Class

Class ServerStandIn
	Public Function CreateObject(pProgID)
		Select Case LCase(pProgID)
			Case "corvane.dataprovider"
				Set CreateObject = New DataProviderStandIn
			Case "scripting.dictionary"
				Set CreateObject = WScript.CreateObject(pProgID)
			Case Else
				Record "Server.CreateObject " & Describe(pProgID) & ": no such component"
				Err.Raise 429
		End Select
	End Function

	' The site lives in C:\site; a path is taken relative to the page's folder, and one that climbs
	' above the site root is refused, as the server refuses it.
	Public Function MapPath(pPath)
		Dim lParts, lPart, lDepth, lIndex
		lParts = Split(PAGE_FOLDER & pPath, "/")
		lDepth = 0
		For Each lPart In lParts
			If lPart = ".." Then
				If lDepth = 0 Then
					Record "Server.MapPath " & Describe(pPath) & ": above the site root"
					Err.Raise 5
				End If
				lDepth = lDepth - 1
			ElseIf lPart <> "" And lPart <> "." Then
				lParts(lDepth) = lPart
				lDepth = lDepth + 1
			End If
		Next
		MapPath = "C:\site"
		For lIndex = 0 To lDepth - 1
			MapPath = MapPath & "\" & lParts(lIndex)
		Next
	End Function
End Class

' The data provider records what the page sets and calls under its name ("DataProvider" until the
' page names it). Its Kind is the run's; members a page should not use are missing, so a call to one
' stops the page.
Class DataProviderStandIn
	Private mName

	Public Property Get Label()
		If IsEmpty(mName) Then Label = "DataProvider" Else Label = mName
	End Property

	Private Sub Note(pMember, pArguments)
		Record Label & "." & pMember & pArguments
	End Sub

	Public Property Get Kind()
		Kind = PAGE_PROVIDER_KIND
	End Property
	Public Property Let Name(pValue)
		Note "Name = ", Describe(pValue)
		mName = pValue
	End Property
	Public Property Get Name()
		Name = mName
	End Property
	Public Property Let PageSize(pValue)
		Note "PageSize = ", Describe(pValue)
	End Property
	Public Property Let EnableExtraFilters(pValue)
		Note "EnableExtraFilters = ", Describe(pValue)
	End Property
	Public Property Let StyleSheet(pValue)
		Note "StyleSheet = ", Describe(pValue)
	End Property
	Public Property Let KeyFields(pValue)
		Note "KeyFields = ", Describe(pValue)
	End Property
	Public Property Let SortField(pValue)
		Note "SortField = ", Describe(pValue)
	End Property

	Public Sub SetKeyValue(pKey, pOperator, pValue)
		Note "SetKeyValue ", Describe(pKey) & ", " & Describe(pOperator) & ", " & Describe(pValue)
	End Sub
	Public Sub setTranslatedFieldNames(pNames)
		Note "setTranslatedFieldNames ", Describe(pNames)
	End Sub
	Public Sub setTranslatedFieldValues(pNames)
		Note "setTranslatedFieldValues ", Describe(pNames)
	End Sub
	Public Sub Link(pProvider, pLinkedFields, pReturnFields)
		Note "Link ", Describe(pProvider) & ", " & Describe(pLinkedFields) & ", " & Describe(pReturnFields)
	End Sub
	Public Sub Open(pReturnFields)
		Note "Open ", Describe(pReturnFields)
	End Sub
End Class
